// The browser edition on phones: Debian's chromium (headless) emulating a
// touch-only phone (playwright's hasTouch and isMobile), first upright at
// 390 x 844, then on its side at 844 x 390. Upright: the hint to turn the
// device, no keys in the caption. On its side: the picture fills the height;
// taps start it, leave the intro and press buttons; swipes over the text
// (touch events through the DevTools protocol) scroll it by the wheel's
// steps, within the article, and a flick carries on; the scroll thumb
// follows a finger; the page's full-screen control works. The reader's text
// area is compared with `magtool shot` throughout.
//
// node touch_e2e.mjs --page FILE --magtool PATH --node-modules DIR [--shots DIR]
// FILE: the one-file page (build/web/quorvaline.html), opened from disk.
import { createRequire } from 'node:module';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import { CHROMIUM_ARGS, areaDifferences, checker, parseArgs, referenceArea as referenceAreaOf, waitForLitFrame } from './pictures.mjs';

const args = parseArgs();
if (!args.page || !fs.existsSync(args.page)) {
  console.log(`FAIL: no page ${args.page} (cmake --build --preset web makes it)`);
  process.exit(1);
}
const { chromium } = createRequire(import.meta.url)(path.resolve(args['node-modules'], 'playwright-core'));
const { failures, check } = checker();
const workDir = fs.mkdtempSync(path.join(os.tmpdir(), 'qv_touch_e2e_'));
const referenceArea = (name, options) => referenceAreaOf(args.magtool, workDir, name, options);
const shots = args.shots;
if (shots) fs.mkdirSync(shots, { recursive: true });
const pageUrl = pathToFileURL(path.resolve(args.page)).href;

const browser = await chromium.launch({
  executablePath: '/usr/bin/chromium',
  headless: true,
  args: CHROMIUM_ARGS,
});
const phone = (width, height) => browser.newContext({
  viewport: { width, height }, hasTouch: true, isMobile: true, deviceScaleFactor: 2,
});
const pageErrors = [];
let exitCode = 1;
try {
  // ---- upright
  const upright = await phone(390, 844);
  const tall = await upright.newPage();
  tall.on('pageerror', (e) => pageErrors.push(e.message));
  await tall.goto(pageUrl);
  await tall.waitForFunction(() => document.body.classList.contains('qv-ready'), null, { timeout: 60000 });
  if (shots) await tall.screenshot({ path: path.join(shots, 'touch_1_portrait.png') });
  const uprightPage = await tall.evaluate(() => ({
    hint: getComputedStyle(document.getElementById('turn-hint')).display !== 'none',
    caption: document.getElementById('caption').innerText,
    button: getComputedStyle(document.getElementById('full-screen')).display !== 'none',
    canvasWidth: document.getElementById('canvas').getBoundingClientRect().width,
  }));
  check(uprightPage.hint, 'upright: the hint to turn the device shows');
  check(!/Esc|F:/.test(uprightPage.caption), `upright: no keys in the caption ('${uprightPage.caption.replace(/\n/g, ' / ')}')`);
  check(uprightPage.button, 'upright: the full-screen control shows');
  check(Math.abs(uprightPage.canvasWidth - 390) < 1, `upright: the picture is as wide as the screen (${uprightPage.canvasWidth})`);
  await upright.close();

  // ---- on its side
  const side = await phone(844, 390);
  const page = await side.newPage();
  page.on('pageerror', (e) => pageErrors.push(e.message));
  const cdp = await side.newCDPSession(page);
  const shot = async (name) => { if (shots) await page.screenshot({ path: path.join(shots, `touch_${name}.png`) }); };
  await page.goto(pageUrl);
  await page.waitForFunction(() => document.body.classList.contains('qv-ready'), null, { timeout: 60000 });
  const b = await page.locator('#canvas').boundingBox();
  check(Math.abs(b.height - 390) < 1 && Math.abs(b.width - 520) < 1,
        `on its side: the picture fills the height (${b.width} x ${b.height})`);
  check(await page.evaluate(() => getComputedStyle(document.getElementById('turn-hint')).display === 'none'),
        'on its side: no hint to turn');
  const toPage = (x, y) => ({ x: b.x + (x + 0.5) * b.width / 800, y: b.y + (y + 0.5) * b.height / 600 });
  const tap = async (x, y) => {
    const p = toPage(x, y);
    await page.touchscreen.tap(p.x, p.y);
    await page.waitForTimeout(300);
  };
  // A finger from one frame point to another in `steps` moves `ms` apart.
  const swipe = async (from, to, steps, ms) => {
    const at = (k) => {
      const p = toPage(from[0] + (to[0] - from[0]) * k / steps, from[1] + (to[1] - from[1]) * k / steps);
      return [{ x: p.x, y: p.y, id: 1 }];
    };
    await cdp.send('Input.dispatchTouchEvent', { type: 'touchStart', touchPoints: at(0) });
    for (let k = 1; k <= steps; ++k) {
      await new Promise((r) => setTimeout(r, ms));
      await cdp.send('Input.dispatchTouchEvent', { type: 'touchMove', touchPoints: at(k) });
    }
    await cdp.send('Input.dispatchTouchEvent', { type: 'touchEnd', touchPoints: [] });
  };
  const settled = async (name, options, timeoutMs = 20000) => {
    const reference = referenceArea(name, options);
    const deadline = Date.now() + timeoutMs;
    let differences = -1;
    do {
      differences = await areaDifferences(page, reference);
      if (differences === 0) break;
      await page.waitForTimeout(200);
    } while (Date.now() < deadline);
    await shot(name);
    return differences;
  };

  await shot('2_landscape_start');
  await tap(400, 300);
  await waitForLitFrame(page);
  await page.waitForTimeout(1500);
  await shot('3_intro');
  await tap(400, 300);  // a tap leaves the intro
  // The reader draws its pointer where the finger last tapped; swipes scroll
  // without moving it.
  const tapped = ['--pointer', '400,300'];
  check((await settled('4_reader', ['--article', '11', ...tapped], 30000)) === 0,
        'a tap leaves the intro for the editorial');

  // Slow swipes (no flick): up by 110 frame pixels is two wheel steps of 4 lines.
  await swipe([400, 450], [400, 340], 22, 40);
  check((await settled('5_swiped_up', ['--article', '11', '--top', '8', ...tapped])) === 0,
        'a slow swipe up of 110 frame pixels scrolls 8 lines down the article');
  await swipe([400, 300], [400, 500], 40, 40);
  check((await settled('6_swiped_down', ['--article', '11', '--top', '0', ...tapped])) === 0,
        'a longer swipe down stops at the top of the article');
  // A flick carries on after the finger has gone.
  await swipe([400, 500], [400, 400], 5, 10);
  await page.waitForTimeout(2000);
  let flickTop = -1;
  for (let top = 12; top <= 62 && flickTop < 0; top += 4) {
    if ((await areaDifferences(page, referenceArea(`flick_${top}`, ['--article', '11', '--top', String(top), ...tapped]))) === 0) {
      flickTop = top;
    }
  }
  await shot('7_flicked');
  check(flickTop > 8, `a flick of 100 frame pixels slides on to line ${flickTop} (more than its own 8)`);

  // The thumb: a finger on the right edge of the text, dragged to the bottom.
  await swipe([782, 210], [782, 560], 20, 30);
  check((await settled('8_thumb_dragged', ['--article', '11', '--top', '62'])) === 0,
        'the thumb dragged to the bottom shows the end of the article');
  // Back in two long moves, the finger lifted right after the last: the
  // thumb stays where it was let go.
  await swipe([782, 560], [782, 201], 2, 60);
  check((await settled('9_thumb_back', ['--article', '11', '--top', '0'])) === 0,
        'and back to the top, let go right after a long last move');

  // Taps on the menu: CHARTS, then its first slot.
  await tap(79, 74);
  await tap(250, 66);
  check((await settled('10_chart', ['--article', '1', '--page', '1'], 30000)) === 0, 'taps on CHARTS and the first slot');
  check(await page.evaluate(() => location.hash === '#article-1'), 'the address follows to #article-1');

  // The page's full-screen control.
  await page.locator('#full-screen').tap();
  await page.waitForFunction(() => document.fullscreenElement === document.getElementById('canvas'), null,
                             { timeout: 5000 }).catch(() => {});
  check(await page.evaluate(() => document.fullscreenElement === document.getElementById('canvas')),
        'the full-screen control puts the canvas in full screen');
  await shot('11_full_screen');
  await page.evaluate(() => document.exitFullscreen());
  check(pageErrors.length === 0, `no page errors${pageErrors.length ? ': ' + pageErrors.join('; ') : ''}`);
  await side.close();
  exitCode = failures.length === 0 ? 0 : 1;
} catch (e) {
  console.log(`FAIL ${e.stack || e}`);
  console.log(`page errors: ${pageErrors.join('; ')}`);
} finally {
  await browser.close();
  if (exitCode === 0) fs.rmSync(workDir, { recursive: true, force: true });
  else console.log(`pictures kept in ${workDir}`);
}
process.exit(exitCode);
