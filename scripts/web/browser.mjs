// Headless Chromium for the browser test and benchmark: Debian's chromium,
// a fresh profile, no network of its own, sound allowed without a click.
import fs from 'node:fs';

export async function launchBrowser(puppeteer, profileDir) {
  const executablePath = ['/usr/bin/chromium', '/usr/bin/chromium-browser'].find((p) => fs.existsSync(p));
  if (!executablePath) throw new Error('chromium is not installed (scripts/web/install.sh installs it)');
  return puppeteer.launch({
    executablePath,
    headless: true,
    protocolTimeout: 180000,
    args: [
      '--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
      '--disable-component-update', '--disable-sync', '--no-first-run',
      `--user-data-dir=${profileDir}`, '--enable-unsafe-swiftshader',
      '--autoplay-policy=no-user-gesture-required',
    ],
  });
}

export const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// Waits until `predicate` is true in the page, polling; throws `why` after `ms`.
export async function waitFor(page, predicate, ms, why, ...args) {
  try {
    await page.waitForFunction(predicate, { timeout: ms, polling: 100 }, ...args);
  } catch (e) {
    throw new Error(`${why} within ${ms / 1000} s`);
  }
}
