// The browser edition end to end: build/web served by a plain static server
// (no special headers) on a local port, Debian's chromium headless driven by
// playwright-core. Start click, intro, Escape, the reader's text area against
// magtool shot, quick clicks on CHARTS and the first slot, F2, audio frames
// flowing, the audio context suspended and coming back, Escape to the end
// screen; no page errors and no request for any
// file but the page's three.
//
// node web_e2e.mjs --web-dir DIR --magtool PATH --node-modules DIR [--shots DIR]
// Exit code 77 (skipped) when DIR has no index.html.
import { execFileSync } from 'node:child_process';
import { createRequire } from 'node:module';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { CHROMIUM_ARGS, checker, parseArgs, readPng, waitForLitFrame, waitOnPage } from './pictures.mjs';

const args = parseArgs();
const webDir = args['web-dir'];
const pageFiles = ['index.html', 'index.js', 'index.wasm'];
if (!webDir || !pageFiles.every((f) => fs.existsSync(path.join(webDir, f)))) {
  console.log(`FAIL: ${webDir}/index.html, .js or .wasm is missing; build the browser edition first ` +
              '(cmake --preset web && cmake --build --preset web)');
  process.exit(1);
}
const { chromium } = createRequire(import.meta.url)(path.resolve(args['node-modules'], 'playwright-core'));

// The text area compared with the reference frames (as in the Linux test).
const AREA = { left: 20, top: 193, right: 767, bottom: 569 };
const { failures, check } = checker();


// The text area of `magtool shot` with the given options, as base64 RGB.
function referenceArea(name, options) {
  const file = path.join(workDir, `${name}_ref.png`);
  execFileSync(args.magtool, ['shot', file, ...options]);
  const png = readPng(file);
  const w = AREA.right - AREA.left + 1, h = AREA.bottom - AREA.top + 1;
  const area = Buffer.alloc(w * h * 3);
  for (let y = 0; y < h; ++y) png.rgb.copy(area, y * w * 3, ((AREA.top + y) * png.width + AREA.left) * 3,
                                           ((AREA.top + y) * png.width + AREA.right + 1) * 3);
  return area.toString('base64');
}

// ---- the static server: files of the page's folder, nothing else
const types = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm' };
const served = [];
function startServer() {
  return new Promise((resolve, reject) => {
    const server = http.createServer((req, res) => {
      const name = decodeURIComponent(new URL(req.url, 'http://x').pathname).replace(/^\/+/, '') || 'index.html';
      served.push(name);
      const file = path.join(webDir, name);
      if (name.includes('..') || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
        res.writeHead(404);
        res.end();
        return;
      }
      res.writeHead(200, { 'Content-Type': types[path.extname(name)] || 'application/octet-stream' });
      fs.createReadStream(file).pipe(res);
    });
    let attempts = 0;
    const tryListen = () => {
      const port = 8700 + Math.floor(Math.random() * 100);
      server.once('error', (e) => (++attempts < 50 && e.code === 'EADDRINUSE' ? tryListen() : reject(e)));
      server.listen(port, '127.0.0.1', () => resolve({ server, port }));
    };
    tryListen();
  });
}

const workDir = fs.mkdtempSync(path.join(os.tmpdir(), 'qv_web_e2e_'));
const shots = args.shots;
if (shots) fs.mkdirSync(shots, { recursive: true });
const { server, port } = await startServer();
const context = await chromium.launchPersistentContext(path.join(workDir, 'profile'), {
  executablePath: '/usr/bin/chromium',
  headless: true,
  viewport: { width: 1200, height: 924 },  // the canvas shows at 1.5 CSS pixels per frame pixel
  args: CHROMIUM_ARGS,
});
const pageErrors = [];
const requests = [];
let exitCode = 1;
try {
  const page = context.pages()[0] || (await context.newPage());
  page.on('pageerror', (e) => pageErrors.push(e.message));
  page.on('request', (r) => requests.push(r.url()));
  const shot = async (name) => { if (shots) await page.screenshot({ path: path.join(shots, `${name}.png`) }); };

  // Frame coordinates to page coordinates through the canvas's box.
  const box = async () => page.locator('#canvas').boundingBox();
  const toPage = (b, x, y) => [b.x + (x + 0.5) * b.width / 800, b.y + (y + 0.5) * b.height / 600];
  const click = async (x, y) => {
    const b = await box();
    await page.mouse.click(...toPage(b, x, y));  // press and release at once: a quick click
    await page.waitForTimeout(250);
  };
  const areaDifferencesOn = (page, reference) => page.evaluate(async ({ reference, area }) => {
    const w = area.right - area.left + 1, h = area.bottom - area.top + 1;
    const pixels = await qvCanvasPixels(area.left, area.top, w, h);
    const ref = Uint8Array.from(atob(reference), (c) => c.charCodeAt(0));
    let differences = 0;
    for (let i = 0; i < w * h; ++i) {
      if (pixels[4 * i] !== ref[3 * i] || pixels[4 * i + 1] !== ref[3 * i + 1] || pixels[4 * i + 2] !== ref[3 * i + 2]) {
        ++differences;
      }
    }
    return differences;
  }, { reference, area: AREA });
  const areaDifferences = (reference) => areaDifferencesOn(page, reference);
  const settledDifferences = async (name, options, timeoutMs) => {
    const reference = referenceArea(name, options);
    const deadline = Date.now() + timeoutMs;
    let differences = -1;
    do {
      differences = await areaDifferences(reference);
      if (differences === 0) break;
      await page.waitForTimeout(200);
    } while (Date.now() < deadline);
    await shot(name);
    return differences;
  };
  const framesPlayed = () => page.evaluate(() => window.qvAudio.framesPlayed);
  const framesOver = async (ms) => {
    const before = await framesPlayed();
    await page.waitForTimeout(ms);
    return (await framesPlayed()) - before;
  };

  await page.goto(`http://127.0.0.1:${port}/index.html`);
  const historyLength = await page.evaluate(() => history.length);
  check(await page.evaluate(() => location.hash === ''), 'no article in the address before the reader opens one');
  // The start screen: backing store 800 x 600, text on black.
  await waitOnPage(page, async () => {
    const c = document.getElementById('canvas');
    if (!c || c.width !== 800 || c.height !== 600 || !document.body.classList.contains('qv-ready')) return false;
    const d = await qvCanvasPixels(0, 250, 800, 100);
    for (let i = 0; i < d.length; i += 4) if (d[i] > 128) return true;
    return false;
  }, null, 30000);
  const startScreenMs = await page.evaluate(() => performance.now());
  check(await page.evaluate(() => document.body.classList.contains('qv-drawing-worker')),
        'a worker of its own draws the picture (OffscreenCanvas)');
  check(true, `start screen after ${startScreenMs.toFixed(0)} ms`);
  check(await page.evaluate(() => document.title.startsWith('The Quorvaline Charts')), 'the page\'s title names the magazine');
  const caption = await page.evaluate(() => document.getElementById('caption-text').textContent);
  check(!/loading/i.test(caption), `the caption no longer says loading once the start screen shows ('${caption}')`);
  await shot('1_start');
  const b = await box();
  check(Math.abs(b.width / b.height - 4 / 3) < 0.01 && b.width > 800, `canvas shown at 4:3, ${b.width} x ${b.height} CSS px`);
  check(await page.evaluate(() => getComputedStyle(document.getElementById('canvas')).imageRendering === 'pixelated'),
        'crisp pixels (image-rendering: pixelated)');

  // The start click; the intro follows (a frame with a row of more than one
  // colour: neither the black frames nor the stripes).
  const clickedAt = await page.evaluate(() => performance.now());
  await click(400, 300);
  await waitOnPage(page, async () => {
    const d = await qvCanvasPixels(0, 0, 800, 600);
    let lit = 0;
    for (let i = 0; i < d.length; i += 4) if (d[i] + d[i + 1] + d[i + 2] > 60) ++lit;
    if (lit < 20000) return false;
    for (let y = 0; y < 600; y += 4) {
      const row = y * 3200;
      for (let x = 4; x < 3200; x += 4) if (d[row + x] !== d[row] || d[row + x + 2] !== d[row + 2]) return true;
    }
    return false;
  }, null, 30000);
  const introMs = await page.evaluate(() => performance.now());
  check(true, `intro lit ${(introMs - clickedAt).toFixed(0)} ms after the click (${introMs.toFixed(0)} ms after load)`);
  check(await page.evaluate(() => getComputedStyle(document.getElementById('canvas')).cursor === 'none'),
        'system pointer hidden over the canvas');
  await page.waitForTimeout(1500);
  await shot('2_intro');
  const audio = await page.evaluate(() => ({ state: qvAudio.context.state, rate: qvAudio.context.sampleRate }));
  check(audio.state === 'running' && audio.rate === 44100, `audio context ${audio.state} at ${audio.rate} Hz`);
  const introFrames = await framesOver(1000);
  check(introFrames > 30000 && introFrames < 60000, `intro tune: ${introFrames} frames in 1 s`);

  // Escape leaves the intro; after the hand-over the reader shows article 11.
  const b2 = await box();
  await page.mouse.move(...toPage(b2, 5, 5));
  await page.keyboard.press('Escape');
  check((await settledDifferences('3_editorial', ['--article', '11'], 30000)) === 0,
        'reader text area equals magtool shot --article 11');

  // Quick clicks: CHARTS, then the first slot of the charts page.
  await click(79, 74);
  await click(250, 66);
  await page.mouse.move(...toPage(await box(), 5, 5));
  check((await settledDifferences('4_chart', ['--article', '1', '--page', '1'], 30000)) === 0,
        'quick clicks on CHARTS and the first slot open article 1');
  const address = await page.evaluate(() => ({ hash: location.hash, length: history.length }));
  check(address.hash === '#article-1' && address.length === historyLength,
        `the address follows to ${address.hash} without a new history entry (${address.length} entries)`);

  await page.keyboard.press('F2');
  check((await settledDifferences('5_chart_carbon', ['--article', '1', '--page', '1', '--skin', '2'], 30000)) === 0,
        'F2 shows skin 2');
  // F asks for full screen on the canvas (letterboxed, 4:3 kept), F again leaves it.
  await page.keyboard.press('f');
  await page.waitForFunction(() => document.fullscreenElement === document.getElementById('canvas'), null,
                             { timeout: 5000 }).catch(() => {});
  check(await page.evaluate(() => document.fullscreenElement === document.getElementById('canvas')),
        'F puts the canvas in full screen');
  await shot('5b_full_screen');
  await page.keyboard.press('f');
  await page.waitForFunction(() => !document.fullscreenElement, null, { timeout: 5000 }).catch(() => {});
  check(await page.evaluate(() => !document.fullscreenElement), 'F again leaves full screen');

  // The program's frames over a while (each shows changed rows at rest:
  // the colour bars, the meter, the scroller), from the page's side.
  const programFramesOver = (ms) => page.evaluate(async (ms) => {
    const surface = qvWeb.surface, rows = surface.rows;
    let frames = 0;
    surface.rows = function(...a) { ++frames; return rows.apply(this, a); };
    await new Promise((done) => setTimeout(done, ms));
    surface.rows = rows;
    return frames;
  }, ms);
  // Hidden, the page gets no animation frames: timers keep the program and
  // the music's refill going.
  await page.evaluate(() => {
    Object.defineProperty(document, 'hidden', { configurable: true, get: () => true });
    document.dispatchEvent(new Event('visibilitychange'));
  });
  const hiddenFrames = await programFramesOver(1000);
  check(hiddenFrames >= 10, `hidden, the program goes on without animation frames (${hiddenFrames} frames in 1 s)`);
  await page.evaluate(() => {
    delete document.hidden;
    document.dispatchEvent(new Event('visibilitychange'));
  });
  // A drawing worker that no longer gets animation frames (a window the
  // browser thinks nobody sees) does not stop the program either.
  await page.evaluate(() => {
    const post = Worker.prototype.postMessage;
    window.qvPost = post;
    Worker.prototype.postMessage = function(m, t) {
      if (m && m.frame) delete m.frame;
      return post.call(this, m, t);
    };
  });
  const starvedFrames = await programFramesOver(2000);
  await page.evaluate(() => { Worker.prototype.postMessage = window.qvPost; });
  check(starvedFrames >= 4, `without animation frames the program still runs (${starvedFrames} frames in 2 s)`);
  const visibleFrames = await programFramesOver(1000);
  check(visibleFrames >= 30, `visible again, a frame per animation frame (${visibleFrames} frames in 1 s)`);

  const readerFrames = await framesOver(1000);
  check(readerFrames > 30000 && readerFrames < 60000, `module: ${readerFrames} frames in 1 s`);

  // The browser or the system suspends the sound (another tab or a call
  // takes it): the page asks it back at once, and a browser that refuses
  // until the reader acts gets it back at the next key; the module goes on.
  const contextState = () => page.evaluate(() => qvAudio.context.state);
  const runningAgain = () => page.waitForFunction(() => qvAudio.context.state === 'running', null, { timeout: 5000 })
    .then(() => true, () => false);
  await page.evaluate(() => qvAudio.context.suspend());
  check(await runningAgain(), `a suspended audio context is running again by itself (${await contextState()})`);
  check((await framesOver(1000)) > 30000, 'the module plays on after the context came back by itself');
  // A refusal, as a browser without a user gesture gives: the state change
  // passes unheard, so only the next key can bring the sound back.
  await page.evaluate(async () => {
    const context = qvAudio.context;
    const listener = context.onstatechange;
    context.onstatechange = null;
    await context.suspend();
    await new Promise((done) => setTimeout(done, 100));  // the change event has passed
    context.onstatechange = listener;
  });
  await page.waitForTimeout(300);
  check((await contextState()) === 'suspended', 'the context stays suspended until the reader acts');
  await page.keyboard.press('Shift');
  check(await runningAgain(), `the next key brings the audio context back (${await contextState()})`);
  const resumedFrames = await framesOver(1000);
  check(resumedFrames > 30000 && resumedFrames < 60000, `module after the key: ${resumedFrames} frames in 1 s`);

  // Escape ends it: the quiet end screen, and the sound stops.
  await page.keyboard.press('Escape');
  await page.waitForFunction(() => getComputedStyle(document.getElementById('canvas')).cursor === 'pointer',
                             null, { timeout: 10000 });
  await page.waitForTimeout(500);
  await shot('6_end');
  const end = await page.evaluate(async () => {
    const d = await qvCanvasPixels(0, 0, 800, 600);
    let lit = 0;
    for (let i = 0; i < d.length; i += 4) if (d[i] > 40) ++lit;
    return lit;
  });
  check(end > 100 && end < 20000, `end screen: text on black (${end} lit pixels)`);
  check((await framesOver(500)) === 0, 'no audio after the end');

  // A browser without OffscreenCanvas, and one whose worker fails to load:
  // the page's thread draws and paces the program itself, to the same picture.
  const withoutWorker = {
    'without OffscreenCanvas': () => { delete HTMLCanvasElement.prototype.transferControlToOffscreen; },
    'with a worker that fails to load': () => {
      const RealWorker = window.Worker;
      window.Worker = function() {
        return new RealWorker(URL.createObjectURL(new Blob(['throw new Error("refused")'], { type: 'text/javascript' })));
      };
    },
  };
  for (const [browser, initScript] of Object.entries(withoutWorker)) {
    const plain = await context.newPage();
    plain.on('pageerror', (e) => pageErrors.push(e.message));
    await plain.addInitScript(initScript);
    await plain.goto(`http://127.0.0.1:${port}/index.html`);
    await plain.waitForFunction(() => document.body.classList.contains('qv-ready'), null, { timeout: 30000 });
    check(await plain.evaluate(() => !document.body.classList.contains('qv-drawing-worker')),
          `${browser}, the page draws the picture itself`);
    const plainBox = await plain.locator('#canvas').boundingBox();
    await plain.mouse.click(plainBox.x + plainBox.width / 2, plainBox.y + plainBox.height / 2);
    await waitForLitFrame(plain);
    await plain.mouse.move(plainBox.x + 5, plainBox.y + 5);
    await plain.keyboard.press('Escape');
    const editorial = referenceArea('plain_editorial', ['--article', '11']);
    const plainDeadline = Date.now() + 30000;
    let plainDifferences = -1;
    while ((plainDifferences = await areaDifferencesOn(plain, editorial)) !== 0 && Date.now() < plainDeadline) {
      await plain.waitForTimeout(200);
    }
    check(plainDifferences === 0, `and shows the reader as magtool shot --article 11 does (${plainDifferences} pixels differ)`);
    await plain.close();
  }

  check(pageErrors.length === 0, `no page errors${pageErrors.length ? ': ' + pageErrors.join('; ') : ''}`);
  // The drawing worker's script is made on the page (a blob: address): no request leaves the browser for it.
  const strange = requests.filter((u) => !u.startsWith('blob:') &&
                                         !pageFiles.some((f) => u === `http://127.0.0.1:${port}/${f}`));
  check(strange.length === 0, `only the page's three files requested${strange.length ? ': ' + strange.join(', ') : ''}`);
  exitCode = failures.length === 0 ? 0 : 1;
} catch (e) {
  console.log(`FAIL ${e.stack || e}`);
  console.log(`page errors: ${pageErrors.join('; ')}`);
} finally {
  await context.close();
  server.close();
  if (exitCode === 0) fs.rmSync(workDir, { recursive: true, force: true });
  else console.log(`pictures kept in ${workDir}`);
}
process.exit(exitCode);
