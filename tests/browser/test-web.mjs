// The browser build in a real browser: Debian's Chromium, headless, driven
// through puppeteer-core. Run by scripts/test-web, which builds the site,
// serves it and records the native program's frames to compare with.
//
//   node test-web.mjs test  BASE_URL NATIVE32 NATIVE16 FRAMES TITLE_RAW
//   node test-web.mjs bench BASE_URL
//
// BASE_URL serves the site at site/, a copy without bitmap/font.Raw at
// no-font/ and one without sixscene.wasm at no-program/. NATIVE32 and
// NATIVE16 are the native program's headless recordings (--record DIR --at
// FRAMES, at 32 and 16 bits per pixel); TITLE_RAW is bitmap/moldivane.Raw.
import crypto from 'node:crypto';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import puppeteer from 'puppeteer-core';

import { decodePng, rgbOf } from './png.mjs';

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
const sha256 = (bytes) => crypto.createHash('sha256').update(bytes).digest('hex');

let failures = 0;
function check(what, ok, detail = '') {
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}${detail ? ` (${detail})` : ''}`);
  if (!ok) failures += 1;
  return ok;
}

async function launch() {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'sixscene-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    userDataDir: profile,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
      '--autoplay-policy=no-user-gesture-required', '--force-color-profile=srgb',
      '--force-device-scale-factor=1'],
  });
  return { browser, close: async () => { await browser.close(); fs.rmSync(profile, { recursive: true, force: true }); } };
}

// A page that keeps what its console said.
async function openPage(browser, url, { width = 1000, height = 800, before } = {}) {
  const page = await browser.newPage();
  await page.setViewport({ width, height, deviceScaleFactor: 1 });
  page.said = [];
  page.on('console', (m) => page.said.push({ type: m.type(), text: m.text() }));
  page.on('pageerror', (e) => page.said.push({ type: 'pageerror', text: e.message }));
  if (before) await before(page);
  await page.goto(url, { waitUntil: 'load' });
  return page;
}

async function waitFor(page, fn, arg, timeout = 20000) {
  try {
    await page.waitForFunction(fn, { timeout, polling: 100 }, arg);
    return true;
  } catch {
    return false;
  }
}

const status = (page) => page.evaluate(() => window.sixscene.status());
const visible = (page, id) => page.evaluate((id) => !document.getElementById(id).hidden, id);
const messageText = (page) => page.evaluate(() => {
  const box = document.getElementById('message');
  return { shown: !box.hidden, caption: box.querySelector('.caption').textContent,
           text: box.querySelector('.text').textContent, detail: box.querySelector('.detail').textContent };
});

// The canvas's own 320x240 pixels as RGB.
async function canvasRgb(page) {
  const base64 = await page.evaluate(() => {
    const canvas = document.getElementById('screen');
    const rgba = canvas.getContext('2d').getImageData(0, 0, 320, 240).data;
    let text = '';
    for (let i = 0; i < rgba.length; i += 4) text += String.fromCharCode(rgba[i], rgba[i + 1], rgba[i + 2]);
    return btoa(text);
  });
  return Buffer.from(base64, 'base64');
}

// The native run's music position at each clock time, from its frames.csv.
function nativeTimeline(dir) {
  const rows = fs.readFileSync(path.join(dir, 'frames.csv'), 'utf8').trim().split('\n').slice(1);
  return rows.map((line) => {
    const [, clockMs, , , position] = line.split(',');
    return { ms: Number(clockMs), position: Number(position) };
  });
}

function nativePositionAt(timeline, ms) {
  let position = 0;
  for (const row of timeline) {
    if (row.ms > ms) break;
    position = row.position;
  }
  return position;
}

async function interactive(browser, base, timeline, titleRaw) {
  console.log('-- the page, played as a viewer would');
  const page = await openPage(browser, `${base}site/`);
  check('the "click to play" overlay shows', await waitFor(page, () =>
    !document.getElementById('start').hidden && /Click to play/.test(document.getElementById('start').textContent)));
  check('the title picture is drawn before the click',
    await waitFor(page, () => window.sixscene && window.sixscene.status() !== null) &&
    (await canvasRgb(page)).equals(titleRaw));

  await page.click('#start');
  const started = await waitFor(page, () => { const s = window.sixscene.status(); return s.playing && s.frames > 0; });
  check('a click starts the show', started);
  if (!started) {
    console.log(page.said.map((m) => `  ${m.type}: ${m.text}`).join('\n'));
    await page.close();
    return null;
  }
  const firstFrameMs = await page.evaluate(() => window.sixsceneFirstFrameMs);

  await sleep(3000);
  // The whole factor that fits 1000x800 is 3: 960x720, centred.
  const box = await page.evaluate(() => {
    const r = document.getElementById('screen').getBoundingClientRect();
    return { x: r.x, y: r.y, width: r.width, height: r.height };
  });
  check('the canvas is scaled by the largest whole factor that fits, centred',
    box.width === 960 && box.height === 720 && box.x === 20 && box.y === 40, JSON.stringify(box));
  const shot = decodePng(Buffer.from(await page.screenshot({ clip: { x: 20, y: 40, width: 960, height: 720 } })));
  const shown = rgbOf(shot);
  let differing = 0;
  for (let y = 0; y < 720; ++y) {
    for (let x = 0; x < 960; ++x) {
      const from = (Math.floor(y / 3) * 320 + Math.floor(x / 3)) * 3, at = (y * 960 + x) * 3;
      if (shown[at] !== titleRaw[from] || shown[at + 1] !== titleRaw[from + 1] || shown[at + 2] !== titleRaw[from + 2]) {
        differing += 1;
      }
    }
  }
  check('a screenshot shows the title picture scaled 3 times with sharp pixels', differing === 0,
    `${differing} of 691200 screen pixels differ`);

  // The audio clock, the music heard and the scene drawn go together.
  const sample = () => page.evaluate(() => {
    const audio = window.sixscene.audioContext();
    return { state: audio && audio.state, time: audio && audio.currentTime, ...window.sixscene.status() };
  });
  const a = await sample();
  await sleep(2000);
  const b = await sample();
  check('the AudioContext is running', a.state === 'running' && b.state === 'running', `${a.state}, ${b.state}`);
  const audioMs = (b.time - a.time) * 1000;
  check('its time advances', audioMs > 1500 && audioMs < 2600, `${audioMs.toFixed(0)} ms in 2 s`);
  const heardMs = b.musicMs - a.musicMs;
  check('the music heard advances with the audio clock', Math.abs(heardMs - audioMs) < 0.1 * audioMs + 50,
    `${heardMs} ms heard over ${audioMs.toFixed(0)} ms of audio`);
  for (const s of [a, b]) {
    const expected = nativePositionAt(timeline, s.musicMs);
    check(`the position follows the music (${s.musicMs} ms heard)`, Math.abs(s.position - expected) <= 1,
      `position ${s.position}, the native run's ${expected}; scene ${s.scene}`);
  }

  // The player's keys.
  await page.keyboard.press('Space');
  await sleep(300);
  const paused = await status(page);
  await sleep(1000);
  const stillPaused = await status(page);
  check('Space pauses: the music and the picture stand', paused.paused && stillPaused.paused &&
    stillPaused.position === paused.position && Math.abs(stillPaused.musicMs - paused.musicMs) < 50,
    `${paused.musicMs} -> ${stillPaused.musicMs} ms`);
  await page.keyboard.press('Space');
  await sleep(1000);
  const resumed = await status(page);
  check('Space again plays on', !resumed.paused && resumed.musicMs > stillPaused.musicMs + 500,
    `${stillPaused.musicMs} -> ${resumed.musicMs} ms`);
  await page.keyboard.press('KeyM');
  await sleep(200);
  const muted = (await status(page)).muted;
  await page.keyboard.press('KeyM');
  await page.keyboard.press('Equal');
  await page.keyboard.press('NumpadAdd');
  await sleep(200);
  const louder = await status(page);
  await page.keyboard.press('Minus');
  await sleep(200);
  check('M mutes and unmutes, + and - change the volume', muted && !louder.muted && louder.volume === 120 &&
    (await status(page)).volume === 110, `volume ${louder.volume}`);

  await page.keyboard.press('ArrowRight');
  check('Right moves to the next scene, the music with it', await waitFor(page, () => window.sixscene.status().scene === 2));
  await sleep(1000);
  const next = await status(page);
  const expectedNext = nativePositionAt(timeline, next.musicMs);
  check('the position follows the music after the move', next.position >= 66 &&
    Math.abs(next.position - expectedNext) <= 1, `position ${next.position} at ${next.musicMs} ms, the native run's ${expectedNext}`);
  await page.keyboard.press('Home');
  check('Home starts again from row 0', await waitFor(page, () => {
    const s = window.sixscene.status();
    return s.scene === 1 && s.position < 5;
  }));

  await page.keyboard.press('KeyF');
  const full = await waitFor(page, () => document.fullscreenElement !== null, undefined, 3000);
  await page.keyboard.press('KeyF');
  const left = await waitFor(page, () => document.fullscreenElement === null, undefined, 3000);
  check('F enters and leaves full screen', full && left);

  await page.keyboard.press('Escape');
  check('Escape ends the show: the end screen with "Play again"', await waitFor(page, () =>
    !document.getElementById('end').hidden && !window.sixscene.status().playing &&
    /Play again/.test(document.getElementById('again').textContent), undefined, 5000));
  const endedAt = (await status(page)).frames;
  await sleep(500);
  check('nothing plays after the end', (await status(page)).frames === endedAt &&
    (await status(page)).musicMs === -1);

  await page.click('#again');
  const again = await waitFor(page, () => {
    const s = window.sixscene.status();
    return s.playing && s.frames > 0 && document.getElementById('end').hidden;
  });
  const restarted = await status(page);
  check('"Play again" starts the show again from row 0', again && restarted.position < 5 && restarted.scene === 1,
    JSON.stringify(restarted));
  await sleep(1500);
  const playingAgain = await status(page);
  check('and it plays on', playingAgain.playing && playingAgain.musicMs > restarted.musicMs + 800 &&
    (await page.evaluate(() => window.sixscene.audioContext().state)) === 'running',
    `${restarted.musicMs} -> ${playingAgain.musicMs} ms`);
  await page.keyboard.press('Escape');
  await waitFor(page, () => !document.getElementById('end').hidden, undefined, 5000);

  const errors = page.said.filter((m) => m.type === 'error' || m.type === 'pageerror');
  check('no console errors', errors.length === 0, errors.map((m) => m.text).join(' | '));
  await page.close();
  return firstFrameMs;
}

// The deterministic mode's frames against the native program's PNGs.
async function deterministic(browser, base, depth, nativeDir, frames) {
  console.log(`-- deterministic frames at ${depth} bits per pixel`);
  const url = `${base}site/?headless&at=${frames.join(',')}${depth === 16 ? '&depth=16' : ''}`;
  const page = await openPage(browser, url);
  const started = Date.now();
  const done = await waitFor(page, () => window.sixsceneDone === true, undefined, 30 * 60 * 1000);
  const result = await page.evaluate(() => ({ frames: window.sixsceneFrames, stats: window.sixsceneStats,
    error: window.sixsceneError }));
  check(`the run ends after the last frame asked for`, done && !result.error,
    result.error || `${((Date.now() - started) / 1000).toFixed(1)} s`);
  const differing = [], missing = [];
  for (const frame of frames) {
    const file = path.join(nativeDir, `frame-${String(frame).padStart(6, '0')}.png`);
    const expected = sha256(rgbOf(decodePng(fs.readFileSync(file))));
    if (!(frame in result.frames)) missing.push(frame);
    else if (result.frames[frame] !== expected) differing.push(frame);
  }
  check(`${frames.length} frames equal the native program's byte for byte`, differing.length === 0 && missing.length === 0,
    `${differing.length ? `differing: ${differing.join(',')}` : ''}${missing.length ? ` missing: ${missing.join(',')}` : ''}`);
  const errors = page.said.filter((m) => m.type === 'error' || m.type === 'pageerror');
  check('no console errors', errors.length === 0, errors.map((m) => m.text).join(' | '));
  await page.close();
}

async function brokenSites(browser, base) {
  console.log('-- what the page says when something is missing');
  let page = await openPage(browser, `${base}no-font/`);
  await waitFor(page, () => !document.getElementById('start').hidden);
  await page.click('#start');
  await waitFor(page, () => !document.getElementById('message').hidden);
  let said = await messageText(page);
  check('a missing bitmap/font.Raw says "Couldn\'t load textures!" in the page',
    said.shown && said.caption === 'ERROR' && said.text === "Couldn't load textures!" && /font\.Raw/.test(said.detail),
    JSON.stringify(said));
  await page.close();

  page = await openPage(browser, `${base}no-program/`);
  await page.click('#start').catch(() => {});
  await waitFor(page, () => !document.getElementById('message').hidden);
  said = await messageText(page);
  check('a missing sixscene.wasm is said in the page', said.shown && /Couldn't load the show|stopped/.test(said.text),
    JSON.stringify(said));
  await page.close();

  page = await openPage(browser, `${base}site/`, { before: (p) => p.evaluateOnNewDocument(() => { delete window.WebAssembly; }) });
  await sleep(500);
  said = await messageText(page);
  check('a browser without WebAssembly gets a plain message',
    said.shown && said.text === 'This show needs a browser with WebAssembly.', JSON.stringify(said));
  await page.close();
}

// User and system time of process `root` and all its descendants, from
// /proc (clock ticks of 1/100 s).
function processorSeconds(root) {
  const parents = new Map(), ticks = new Map();
  for (const name of fs.readdirSync('/proc')) {
    if (!/^\d+$/.test(name)) continue;
    let stat;
    try {
      stat = fs.readFileSync(`/proc/${name}/stat`, 'utf8');
    } catch {
      continue;
    }
    const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
    parents.set(Number(name), Number(fields[1]));
    ticks.set(Number(name), Number(fields[11]) + Number(fields[12]));
  }
  let total = 0;
  for (const [pid, used] of ticks) {
    for (let p = pid; p > 1; p = parents.get(p)) {
      if (p === root) {
        total += used;
        break;
      }
      if (!parents.has(p)) break;
    }
  }
  return total / 100;
}

async function bench(browser, base) {
  // Processor time of the browser's processes, less disturbed by other
  // work on the machine than the wall clock.
  const page = await openPage(browser, `${base}site/?headless`);
  const started = Date.now();
  const cpuBefore = processorSeconds(browser.process().pid);
  const done = await waitFor(page, () => window.sixsceneDone === true, undefined, 60 * 60 * 1000);
  const busy = processorSeconds(browser.process().pid) - cpuBefore;
  const stats = await page.evaluate(() => window.sixsceneStats);
  await page.close();
  if (!done || !stats) throw new Error('the deterministic run did not finish');
  console.log(JSON.stringify({ frames: stats.frames, ms: Math.round(stats.ms), position: stats.position,
    wallMs: Date.now() - started, fps: +(stats.frames / (stats.ms / 1000)).toFixed(1),
    cpuMs: Math.round(busy * 1000), fpsByCpu: +(stats.frames / busy).toFixed(1) }));

  // Click to the first frame drawn, five times.
  const times = [];
  for (let i = 0; i < 5; ++i) {
    const p = await openPage(browser, `${base}site/`);
    await waitFor(p, () => window.sixscene && window.sixscene.status() !== null);
    await p.click('#start');
    await waitFor(p, () => window.sixsceneFirstFrameMs !== undefined);
    times.push(await p.evaluate(() => window.sixsceneFirstFrameMs));
    await p.close();
  }
  console.log(JSON.stringify({ clickToFirstFrameMs: times.map((t) => Math.round(t * 10) / 10) }));
}

const [mode, base, ...rest] = process.argv.slice(2);
const { browser, close } = await launch();
try {
  if (mode === 'bench') {
    await bench(browser, base);
  } else if (mode === 'test') {
    const [native32, native16, frameList, titleFile] = rest;
    const frames = frameList.split(',').map(Number);
    const titleRaw = fs.readFileSync(titleFile);
    const firstFrameMs = await interactive(browser, base, nativeTimeline(native32), titleRaw);
    if (firstFrameMs !== null) console.log(`   (click to first frame: ${firstFrameMs.toFixed(1)} ms)`);
    await brokenSites(browser, base);
    await deterministic(browser, base, 32, native32, frames);
    await deterministic(browser, base, 16, native16, frames);
    console.log(failures ? `${failures} check(s) failed` : 'every check passed');
  } else {
    console.error('usage: node test-web.mjs test BASE NATIVE32 NATIVE16 FRAMES TITLE_RAW | bench BASE');
    process.exitCode = 2;
  }
} finally {
  await close();
}
if (failures) process.exitCode = 1;
