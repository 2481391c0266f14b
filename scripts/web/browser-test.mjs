// Plays the browser build in headless Chromium and checks what a player would
// see: the page loads cleanly, the title shows, Space starts level 1, the
// level 1 replay finishes it, a setting survives a reload, and sound runs; the
// files arrive gzipped, the loading bar knows its total, and the browser's
// own keys (F5, Ctrl chords) reach the browser, not the game; on a phone's
// touch screen the drawn controls start the game and move the hero, and the
// page fits the window exactly at phone and desktop sizes.
// Usage: node browser-test.mjs URL OUT_DIR REPLAY_FILE
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import puppeteer from 'puppeteer-core';
import { launchBrowser, waitFor, sleep } from './browser.mjs';

const [url, outDir, replayFile] = process.argv.slice(2);
fs.mkdirSync(outDir, { recursive: true });
const replay = fs.readFileSync(replayFile, 'utf8');

let passed = 0, failed = 0;

// Where the page's parts lie, and whether the page fits its window exactly:
// nothing to scroll either way, the stage reaching the window's bottom.
async function fitOf(page) {
  return page.evaluate(() => {
    const rect = (id) => {
      const r = document.getElementById(id).getBoundingClientRect();
      return { left: r.left, top: r.top, right: r.right, bottom: r.bottom, w: r.width, h: r.height };
    };
    const root = document.documentElement;
    const stage = rect('stage');
    const jump = document.querySelector('#buttons .jump').getBoundingClientRect();
    return {
      fits: root.scrollHeight <= innerHeight && root.scrollWidth <= innerWidth &&
            Math.abs(stage.bottom - innerHeight) < 1 && window.scrollY === 0,
      pad: rect('stick').w > 0,
      stage, picture: rect('canvas'), stick: rect('stick'), buttons: rect('buttons'),
      jump: { left: jump.left, top: jump.top, w: jump.width, h: jump.height },
    };
  });
}
function check(name, ok, detail = '') {
  if (ok) { passed++; console.log(`ok      ${name}`); }
  else { failed++; console.log(`FAILED  ${name}${detail ? ': ' + detail : ''}`); }
}

const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'zq-chromium-'));
const browser = await launchBrowser(puppeteer, profile);
try {
  const page = await browser.newPage();
  // Option keys act at most every 200 ms, and a press inside that time is not
  // kept for later (as on the desktop): each waits out the previous one's
  // time, as a player's next key would.
  const pressOptionKey = async (key) => {
    await sleep(300);
    await page.keyboard.press(key);
  };
  await page.setViewport({ width: 800, height: 700 });
  const errors = [];
  page.on('console', (m) => { if (m.type() === 'error') errors.push(m.text()); });
  page.on('pageerror', (e) => errors.push(String(e)));
  page.on('requestfailed', (r) => errors.push('request failed: ' + r.url()));
  const encodings = {};
  page.on('response', (r) => {
    const name = new URL(r.url()).pathname.split('/').pop() || 'index.html';
    encodings[name] = r.headers()['content-encoding'] || 'none';
  });

  // Whether each key's default was prevented, read once its dispatch is over.
  await page.evaluateOnNewDocument(() => {
    window.zqKeysSeen = {};
    window.addEventListener('keydown', (e) => {
      setTimeout(() => { window.zqKeysSeen[(e.ctrlKey ? 'Ctrl+' : '') + e.code] = e.defaultPrevented; }, 0);
    }, true);
  });
  const state = () => page.evaluate(() => window.zqState());
  const shot = (name) => page.screenshot({ path: path.join(outDir, name) });

  // Loading: the data package arrives, the stored files come back, the title shows.
  await page.goto(url, { waitUntil: 'load' });
  await waitFor(page, () => window.zqStarted === true, 60000, 'the game did not start');
  await sleep(2500);
  await shot('1-title.png');
  // The share of lit pixels in what the page shows: read from a screenshot
  // of the canvas, which holds whether the picture came by WebGL or 2D.
  const box = await page.evaluate(() => {
    const r = document.getElementById('canvas').getBoundingClientRect();
    return { x: r.x, y: r.y, width: r.width, height: r.height };
  });
  const shown = await page.screenshot({ clip: box, encoding: 'base64' });
  const lit = await page.evaluate(async (png) => {
    const picture = new Image();
    picture.src = 'data:image/png;base64,' + png;
    await picture.decode();
    const copy = document.createElement('canvas');
    copy.width = picture.width; copy.height = picture.height;
    const g = copy.getContext('2d');
    g.drawImage(picture, 0, 0);
    const px = g.getImageData(0, 0, copy.width, copy.height).data;
    let n = 0;
    for (let i = 0; i < px.length; i += 4) if (px[i] + px[i + 1] + px[i + 2] > 48) n++;
    return n / (px.length / 4);
  }, shown);
  let s = await state();
  check('the title screen shows', s && s.screen === 0, JSON.stringify(s && s.screen));
  check('the title picture is not black', lit > 0.05, `lit share ${lit.toFixed(3)}`);
  check('the page loads without console errors', errors.length === 0, errors.join(' | '));
  const files = ['index.html', 'zorvoquib.js', 'zorvoquib.wasm', 'zorvoquib.data'];
  check('the served files arrive gzipped', files.every((f) => encodings[f] === 'gzip'), JSON.stringify(encodings));
  const load = await page.evaluate(() => window.zqLoad);
  check('the loading bar knew its total from the first byte and reached it',
        load && load.total > 1e6 && load.first !== 'zorvoquib.data' && load.arrived >= 0.99 * load.total,
        JSON.stringify(load));

  // Space on the title starts level 1.
  await page.keyboard.down('Space');
  await sleep(150);
  await page.keyboard.up('Space');
  await waitFor(page, () => { const s = window.zqState(); return s && s.screen === 1 && !s.fadeActive; }, 20000,
                'Space did not start the game');
  s = await state();
  check('Space starts level 1', s.screen === 1 && s.levelIndex === 0 && s.lives === 3, JSON.stringify(s));
  await sleep(1000);
  await shot('2-level1.png');

  // The sound runs (the page's autoplay rule lets it start without a click here).
  const audio = await page.evaluate(() => window.zqAudioState());
  check('the AudioContext runs', audio === 'running', audio);

  // The level 1 solution, fed as an input script on the virtual clock.
  const started = await page.evaluate((text) => window.zqPlayScript(text, 16), replay);
  check('the replay is accepted', started);
  await waitFor(page, () => !window.zqScriptPlaying(), 120000, 'the replay did not end');
  s = await state();
  await shot('3-after-replay.png');
  check('the replay finishes level 1', s.levelIndex === 1 && !s.dead, JSON.stringify({ level: s.levelIndex, dead: s.dead, ingots: s.ingots }));

  // F7 turns the music off; the setting is written to IndexedDB and read again after a reload.
  await pressOptionKey('F7');
  await waitFor(page, () => { const s = window.zqState(); return s && /MUSIC OFF/.test(s.statusText); }, 5000,
                'F7 did not turn the music off');
  await waitFor(page, () => window.zqSaves > 0, 10000, 'the settings were not stored');
  await page.reload({ waitUntil: 'load' });
  await waitFor(page, () => window.zqStarted === true, 60000, 'the game did not start again');
  const ini = await page.evaluate(() => FS.readFile('/libsdl/zorvoquib/quib.ini', { encoding: 'utf8' }));
  check('the settings file survives the reload', /Music\s*=\s*False/.test(ini), ini);
  await sleep(500);
  await pressOptionKey('F7');
  await waitFor(page, () => { const s = window.zqState(); return s && /MUSIC (ON|OFF)/.test(s.statusText); }, 5000,
                'F7 did nothing after the reload');
  s = await state();
  check('the game read the kept setting (F7 turns the music back on)', /MUSIC ON/.test(s.statusText), s.statusText);
  await shot('4-after-reload.png');

  // F6 asks the page for full screen, and F6 again leaves it.
  await pressOptionKey('F6');
  await waitFor(page, () => document.fullscreenElement !== null, 5000, 'F6 did not enter full screen');
  await sleep(500);
  s = await state();
  check('the game says it is in full screen', /FULLSCREEN MODE/.test(s.statusText), s.statusText);
  await shot('5-fullscreen.png');
  await pressOptionKey('F6');
  await waitFor(page, () => document.fullscreenElement === null, 5000, 'F6 did not leave full screen');
  check('F6 enters and leaves full screen', true);

  // F4 gives the canvas the next resolution; the page scales it, keeping its shape.
  const before = await page.evaluate(() => document.getElementById('canvas').width);
  await pressOptionKey('F4');
  await waitFor(page, (w) => document.getElementById('canvas').width !== w, 5000, 'F4 did not resize the canvas', before);
  await sleep(300);
  const canvas = await page.evaluate(() => {
    const c = document.getElementById('canvas');
    return { w: c.width, h: c.height, cssW: parseFloat(c.style.width), cssH: parseFloat(c.style.height) };
  });
  check('F4 changes the resolution and the page keeps its shape',
        canvas.w > before && Math.abs(canvas.cssW / canvas.cssH - canvas.w / canvas.h) < 0.01, JSON.stringify(canvas));

  // F1 shows the browser's keys.
  await sleep(600);
  await pressOptionKey('F1');
  await waitFor(page, () => { const s = window.zqState(); return s && /MOUSE MODE/.test(s.statusText); }, 5000,
                'F1 showed no help');
  s = await state();
  check('F1 shows the browser keys and no network line',
        /T DETAILS/.test(s.statusText) && !/F5|F11|NETWORK|CTRL/.test(s.statusText), s.statusText);
  check('no console errors during play', errors.length === 0, errors.join(' | '));

  // The browser's keys are left to the browser: nothing prevents their default
  // (read after the key's dispatch by a listener that runs before the page's),
  // and the game does not act on them.  Headless Chromium runs no shortcuts for
  // keys sent by the test, so the reload itself is not seen here.
  await page.focus('#canvas');
  await pressOptionKey('F5');
  await page.keyboard.down('Control');
  await page.keyboard.press('KeyR');
  await page.keyboard.press('PageUp');
  await page.evaluate(() => window.dispatchEvent(new KeyboardEvent('keydown', { code: 'F4', ctrlKey: true })));
  await page.keyboard.up('Control');
  await sleep(400);
  const prevented = await page.evaluate(() => window.zqKeysSeen);
  check('F5 and the Ctrl shortcuts reach the browser unprevented',
        ['F5', 'Ctrl+KeyR', 'Ctrl+PageUp', 'Ctrl+F4'].every((k) => prevented[k] === false), JSON.stringify(prevented));
  s = await state();
  check('the game ignores F5 (no texture switch)', !/TEXTURE/.test(s.statusText), s.statusText);

  // The page fills the window exactly, with no touch controls on a desktop.
  for (const [width, height] of [[800, 700], [1280, 720], [1920, 1080]]) {
    await page.setViewport({ width, height });
    await sleep(300);
    const fits = await fitOf(page);
    check(`the page fits a ${width}x${height} window, without touch controls`,
          fits.fits && !fits.pad && fits.picture.h > 0.9 * fits.stage.h - 1, JSON.stringify(fits));
  }

  // A phone: a fresh profile (no saved game) on a 390x844 touch screen.
  const phoneContext = await browser.createBrowserContext();
  const phone = await phoneContext.newPage();
  phone.on('console', (m) => { if (m.type() === 'error') errors.push(m.text()); });
  phone.on('pageerror', (e) => errors.push(String(e)));
  await phone.setViewport({ width: 390, height: 844, hasTouch: true, isMobile: true });
  await phone.goto(url, { waitUntil: 'load' });
  await waitFor(phone, () => window.zqStarted === true, 60000, 'the game did not start on the phone');
  await sleep(1500);
  const phoneState = () => phone.evaluate(() => window.zqState());
  let fits = await fitOf(phone);
  await phone.screenshot({ path: path.join(outDir, '6-touch-portrait.png') });
  check('upright, the picture takes the width with the controls under it, and the page fits',
        fits.fits && fits.pad && fits.picture.w >= 388 && fits.stick.top >= fits.picture.bottom &&
        fits.buttons.top >= fits.picture.bottom && fits.stick.w >= 100, JSON.stringify(fits));

  // A tap on the picture starts level 1.
  await phone.touchscreen.tap(fits.picture.left + fits.picture.w / 2, fits.picture.top + fits.picture.h / 2);
  await waitFor(phone, () => { const s = window.zqState(); return s && s.screen === 1 && !s.fadeActive; }, 20000,
                'a tap on the picture did not start the game');
  s = await phoneState();
  check('a tap on the picture starts level 1', s.screen === 1 && s.levelIndex === 0, JSON.stringify(s.screen));
  await sleep(500);

  // The stick dragged up moves the hero forward, dragged right turns him.
  const drag = async (dx, dy, ms) => {
    const cx = fits.stick.left + fits.stick.w / 2, cy = fits.stick.top + fits.stick.h / 2;
    const finger = await phone.touchscreen.touchStart(cx, cy);
    await finger.move(cx + dx * fits.stick.w / 2, cy + dy * fits.stick.h / 2);
    await sleep(ms);
    await finger.end();
    await sleep(200);
  };
  const start = (await phoneState()).hero;
  await drag(0, -0.6, 800);
  const moved = (await phoneState()).hero;
  check('dragging the stick up moves the hero', Math.hypot(moved.x - start.x, moved.z - start.z) > 0,
        JSON.stringify({ start, moved }));
  await drag(0.6, 0, 400);
  const turned = (await phoneState()).hero;
  check('dragging the stick right turns the hero', turned.heading !== moved.heading, JSON.stringify({ moved, turned }));
  // JUMP lifts him.
  const jumpAt = fits.jump;
  const ground = (await phoneState()).hero.z;
  await phone.touchscreen.tap(jumpAt.left + jumpAt.w / 2, jumpAt.top + jumpAt.h / 2);
  await waitFor(phone, (z) => { const s = window.zqState(); return s && s.hero.z !== z; }, 3000,
                'JUMP did not lift the hero', ground);
  check('the JUMP button jumps', true);
  await sleep(1000);

  // Sideways, the picture takes the full height and the controls lie over its sides.
  await phone.setViewport({ width: 844, height: 390, hasTouch: true, isMobile: true });
  await sleep(500);
  fits = await fitOf(phone);
  await phone.screenshot({ path: path.join(outDir, '7-touch-landscape.png') });
  check('sideways, the picture takes the height, the controls beside it, and the page fits',
        fits.fits && fits.pad && fits.picture.h >= fits.stage.h - 1 && fits.stick.right <= fits.picture.left + 1 &&
        fits.buttons.left >= fits.picture.right - 1 && fits.stick.left >= 0 && fits.buttons.right <= fits.stage.right,
        JSON.stringify(fits));
  check('no console errors on the phone', errors.length === 0, errors.join(' | '));
  await phoneContext.close();
} catch (e) {
  check('the browser test ran to its end', false, String(e && e.message || e));
} finally {
  await browser.close();
  fs.rmSync(profile, { recursive: true, force: true });
}
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed === 0 ? 0 : 1);
