// Browser figures: the lines of the maze and game frame benchmarks from their
// wasm builds, and the time from navigation to the title on the game's page.
// Usage: node browser-bench.mjs BASE_URL   (serving build/ at BASE_URL)
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { createRequire } from 'node:module';
import { launchBrowser, waitFor } from '../../scripts/web/browser.mjs';

// puppeteer-core is installed beside the browser test, in scripts/web.
const require = createRequire(new URL('../../scripts/web/package.json', import.meta.url));
const puppeteer = require('puppeteer-core');

const base = process.argv[2];
const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'zq-chromium-'));
const browser = await launchBrowser(puppeteer, profile);

// Opens a benchmark page and returns the lines it prints that start with `prefix`, `count` of them.
async function benchLines(address, prefix, count) {
  const page = await browser.newPage();
  const lines = [];
  page.on('console', (m) => { if (m.text().startsWith(prefix)) lines.push(m.text()); });
  await page.goto(address, { waitUntil: 'load' });
  const deadline = Date.now() + 900000;
  while (lines.length < count && Date.now() < deadline) await new Promise((r) => setTimeout(r, 200));
  await page.close();
  return lines;
}

try {
  for (const line of await benchLines(base + 'web-bench/page/', 'maze ', 2)) console.log('browser ' + line);
  for (const line of await benchLines(base + 'web-bench/page/game.html', 'game', 20)) console.log('browser ' + line);

  const game = await browser.newPage();
  await game.goto(base + 'web/', { waitUntil: 'load' });
  await waitFor(game, () => window.zqStarted === true, 60000, 'the game did not start');
  const ms = await game.evaluate(() => window.zqStartedAt);
  console.log(`browser load-to-title ${ms.toFixed(0)} ms`);
} finally {
  await browser.close();
  fs.rmSync(profile, { recursive: true, force: true });
}
