// Browser figures: the lines of the maze and game frame benchmarks from their
// wasm builds, and the time from navigation to the title on the game's page.
// Usage: node browser-bench.mjs BASE_URL [GAME_FRAMES]   (serving build/ at BASE_URL)
// Each line is printed as it comes, so a run cut short keeps what it measured.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { createRequire } from 'node:module';
import { launchBrowser, waitFor } from '../../scripts/web/browser.mjs';

// puppeteer-core is installed beside the browser test, in scripts/web.
const require = createRequire(new URL('../../scripts/web/package.json', import.meta.url));
const puppeteer = require('puppeteer-core');

const base = process.argv[2];
const gameFrames = process.argv[3] || '100000';
const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'zq-chromium-'));
const browser = await launchBrowser(puppeteer, profile);

// Opens a benchmark page and returns the lines it prints that start with `prefix`, `count` of them.
async function benchLines(address, prefix, count) {
  const page = await browser.newPage();
  const lines = [];
  page.on('console', (m) => {
    if (!m.text().startsWith(prefix)) return;
    lines.push(m.text());
    console.log('browser ' + m.text());
  });
  await page.goto(address, { waitUntil: 'load' });
  const deadline = Date.now() + 900000;
  while (lines.length < count && Date.now() < deadline) await new Promise((r) => setTimeout(r, 200));
  await page.close();
  return lines;
}

try {
  await benchLines(base + 'web-bench/page/', 'maze ', 2);
  await benchLines(base + `web-bench/page/game.html?frames=${gameFrames}`, 'game', 20);

  const game = await browser.newPage();
  await game.goto(base + 'web/', { waitUntil: 'load' });
  await waitFor(game, () => window.zqStarted === true, 60000, 'the game did not start');
  const ms = await game.evaluate(() => window.zqStartedAt);
  console.log(`browser load-to-title ${ms.toFixed(0)} ms`);
} finally {
  await browser.close();
  fs.rmSync(profile, { recursive: true, force: true });
}
