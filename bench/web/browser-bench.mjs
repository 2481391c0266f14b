// Browser figures: the lines of the maze and game frame benchmarks from their
// wasm builds, and the time from navigation to the title on the game's page.
// Usage: node browser-bench.mjs BASE_URL GAME_FRAMES SIZES MODES WHAT   (serving build/ at BASE_URL)
//   WHAT: a comma list of maze, game and load (the page's load to the title)
// Each line is printed as it comes, so a run cut short keeps what it measured.
// The game frames are timed from here in the processor time of the page's
// renderer (its main thread, where the wasm and the canvas calls run), read
// from /proc around each stretch of frames, so the machine's other work does
// not count, as it does not natively.
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
const sizes = process.argv[4] || '320x240';
const modes = process.argv[5] || 'game';
const what = (process.argv[6] || 'maze,game,load').split(',');
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

// The main threads of the browser's renderer processes: the descendants of
// the browser process started with --type=renderer.
function rendererPids() {
  const parent = new Map();
  for (const name of fs.readdirSync('/proc')) {
    if (!/^\d+$/.test(name)) continue;
    try {
      const stat = fs.readFileSync(`/proc/${name}/stat`, 'utf8');
      parent.set(Number(name), Number(stat.slice(stat.lastIndexOf(')') + 2).split(' ')[1]));
    } catch { /* gone meanwhile */ }
  }
  const root = browser.process().pid;
  const pids = [];
  for (const pid of parent.keys()) {
    let p = pid;
    while (p > 1 && p !== root) p = parent.get(p) || 0;
    if (p !== root) continue;
    try {
      if (fs.readFileSync(`/proc/${pid}/cmdline`, 'utf8').includes('--type=renderer')) pids.push(pid);
    } catch { /* gone meanwhile */ }
  }
  return pids;
}

// Milliseconds the renderers' main threads have run, all told.
function rendererCpuMs(pids) {
  let ns = 0;
  for (const pid of pids) {
    try { ns += Number(fs.readFileSync(`/proc/${pid}/task/${pid}/schedstat`, 'utf8').split(' ')[0]); } catch { /* gone */ }
  }
  return ns / 1e6;
}

// The game frames: for each size and mode, the replay's first `gameFrames`
// frames, timed in the renderer's processor time.
async function gameLines() {
  const page = await browser.newPage();
  page.on('console', (m) => { if (m.type() === 'error') console.error('page: ' + m.text()); });
  await page.goto(base + 'web-bench/page/game.html?frames=driven', { waitUntil: 'load' });
  await waitFor(page, () => window.Module && window.Module.zqBenchReady === true, 120000, 'the game frames page did not start');
  // game-convert is the page's own path with putImageData made a no-op: the
  // drawing and the palette conversion without handing the picture over, so
  // game, game-convert and game-draw split the page's frame in three.
  const modeIndex = { game: 0, 'game-gl': 1, 'game-sdl': 2, 'game-draw': 3, 'game-convert': 0 };
  await page.evaluate(() => { window.zqRealPut = CanvasRenderingContext2D.prototype.putImageData; });
  // The browser compiles wasm quickly first and its hot functions well a
  // little later: one replay untimed, so the first size timed is not the slower.
  await page.evaluate((n) => { Module._bench_open(640, 480, 0); Module._bench_play(n); Module._bench_close(); },
                      Number(gameFrames));
  for (const size of sizes.split(',')) {
    const [width, height] = size.split('x').map(Number);
    for (const mode of modes.split(',')) {
      if (!(mode in modeIndex)) throw new Error(`no such mode: ${mode}`);
      await page.evaluate((skip) => {
        CanvasRenderingContext2D.prototype.putImageData = skip ? function () {} : window.zqRealPut;
      }, mode === 'game-convert');
      if (!await page.evaluate((w, h, m) => Module._bench_open(w, h, m), width, height, modeIndex[mode])) {
        throw new Error(`bench_open ${size} ${mode} failed`);
      }
      const pids = rendererPids();
      const before = rendererCpuMs(pids);
      const frames = await page.evaluate((n) => Module._bench_play(n), Number(gameFrames));
      const spent = rendererCpuMs(pids) - before;
      await page.evaluate(() => Module._bench_close());
      console.log(`browser ${mode} ${size} ${(spent / Math.max(frames, 1)).toFixed(3)} ${frames}`);
    }
  }
  await page.close();
}

// The sizes F4 offers in the game on this machine: level 1 played, F4
// pressed after each size has had time for its verdict (the page's own, on
// its wall clock), until the list has gone round twice; the second round is
// the list as the page then judges it.
async function offeredSizes(game) {
  await game.keyboard.press('Space');
  await waitFor(game, () => { const s = window.zqState(); return s && s.screen === 1 && !s.fadeActive; }, 20000,
                'Space did not start the game');
  const seen = [];
  const size = () => game.evaluate(() => `${document.getElementById('canvas').width}x${document.getElementById('canvas').height}`);
  for (let press = 0; press < 40; press++) {
    await new Promise((r) => setTimeout(r, 2500));
    seen.push(await size());
    const first = seen.indexOf(seen[seen.length - 1]);
    if (first < seen.length - 1 && seen.indexOf(seen[seen.length - 1], first + 1) < seen.length - 1) break;
    await game.keyboard.press('F4');
  }
  const start = seen.lastIndexOf(seen[seen.length - 1], seen.length - 2);
  console.log(`browser offered ${seen.slice(start, seen.length - 1).join(' ')} (visited ${seen.join(' ')})`);
}

try {
  if (what.includes('maze')) await benchLines(base + 'web-bench/page/', 'maze ', 2);
  if (what.includes('game')) await gameLines();
  if (what.includes('load')) {
    const game = await browser.newPage();
    await game.goto(base + 'web/', { waitUntil: 'load' });
    await waitFor(game, () => window.zqStarted === true, 60000, 'the game did not start');
    const ms = await game.evaluate(() => window.zqStartedAt);
    console.log(`browser load-to-title ${ms.toFixed(0)} ms`);
    if (what.includes('offered')) await offeredSizes(game);
  }
} finally {
  await browser.close();
  fs.rmSync(profile, { recursive: true, force: true });
}
