// The one-file browser edition opened from disk, as a reader who downloaded
// it would: file://PAGE#article-4 in Debian's chromium (headless). No request
// but the page itself; the start screen only when ready, with its warning;
// the start tap, the intro, Escape, and the reader on article 4 pixel for
// pixel as `magtool shot --article 4 --page 1` draws it. Then the address
// follows a menu click.
//
// node single_page.mjs --page FILE --magtool PATH --node-modules DIR [--shots DIR]
import { createRequire } from 'node:module';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import { CHROMIUM_ARGS, animatedRows, areaDifferences as areaDifferencesOf, checker, parseArgs, referenceArea as referenceAreaOf, waitForLitFrame } from '../web/pictures.mjs';

const args = parseArgs();
if (!args.page || !fs.existsSync(args.page)) {
  console.log(`FAIL: no page ${args.page} (cmake --workflow --preset dist writes it)`);
  process.exit(1);
}
const { chromium } = createRequire(import.meta.url)(path.resolve(args['node-modules'], 'playwright-core'));

const { failures, check } = checker();

const workDir = fs.mkdtempSync(path.join(os.tmpdir(), 'qv_single_page_'));
const referenceArea = (name, options) => referenceAreaOf(args.magtool, workDir, name, options);

const shots = args.shots;
if (shots) fs.mkdirSync(shots, { recursive: true });
const pageUrl = pathToFileURL(path.resolve(args.page)).href;
const context = await chromium.launchPersistentContext(path.join(workDir, 'profile'), {
  executablePath: '/usr/bin/chromium',
  headless: true,
  viewport: { width: 1200, height: 924 },
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
  const box = async () => page.locator('#canvas').boundingBox();
  const toPage = (b, x, y) => [b.x + (x + 0.5) * b.width / 800, b.y + (y + 0.5) * b.height / 600];
  const click = async (x, y) => {
    await page.mouse.click(...toPage(await box(), x, y));
    await page.waitForTimeout(250);
  };
  const areaDifferences = (reference, skipped) => areaDifferencesOf(page, reference, skipped);
  const settledDifferences = async (name, options, timeoutMs) => {
    // Every pixel but those of the rows the reader's clock animates.
    const reference = referenceArea(name, options);
    const skipped = animatedRows(args.magtool, workDir, name, options);
    const deadline = Date.now() + timeoutMs;
    let differences = -1;
    do {
      differences = await areaDifferences(reference, skipped);
      if (differences === 0) break;
      await page.waitForTimeout(200);
    } while (Date.now() < deadline);
    await shot(name);
    return differences;
  };
  // The lit pixels of a band of the canvas (text on black).
  const litIn = (top, bottom) => page.evaluate(async ({ top, bottom }) => {
    const d = await qvCanvasPixels(0, top, 800, bottom - top);
    let lit = 0;
    for (let i = 0; i < d.length; i += 4) if (d[i] > 100) ++lit;
    return lit;
  }, { top, bottom });

  await page.goto(`${pageUrl}#article-4`);
  await page.waitForFunction(() => document.body.classList.contains('qv-ready'), null, { timeout: 60000 });
  await shot('1_start');
  check(await page.evaluate(() => document.body.classList.contains('qv-drawing-worker')),
        'opened from disk, a worker of its own draws the picture');
  check(await page.evaluate(() => document.title === 'The Quorvaline Charts \u00b7 issue 36'),
        'the title names the magazine');
  check((await litIn(250, 290)) > 200, '"CLICK TO START" on the start screen');
  check((await litIn(305, 335)) > 200, 'the photosensitivity warning under it');
  check(await page.evaluate(() => !/loading/i.test(document.getElementById('caption').textContent)),
        'the caption no longer says loading');

  await click(400, 300);
  await waitForLitFrame(page);
  check(true, 'the intro runs from disk');
  await page.waitForTimeout(1000);
  await page.mouse.move(...toPage(await box(), 5, 5));
  await page.keyboard.press('Escape');
  check((await settledDifferences('2_article_4', ['--article', '4', '--page', '1'], 30000)) === 0,
        '#article-4: the reader starts on article 4, equal to magtool shot --article 4 --page 1 but for the rows its clock animates');
  check(await page.evaluate(() => location.hash === '#article-4'), 'the address still names article 4');

  // Slot 2 of the charts page (the page #article-4 shows) opens article 2.
  await click(250, 78);
  await page.mouse.move(...toPage(await box(), 5, 5));
  check((await settledDifferences('3_article_2', ['--article', '2', '--page', '1'], 30000)) === 0,
        'a click on the menu opens article 2');
  check(await page.evaluate(() => location.hash === '#article-2'), 'the address follows to #article-2');

  check(pageErrors.length === 0, `no page errors${pageErrors.length ? ': ' + pageErrors.join('; ') : ''}`);
  // The drawing worker's script is made on the page (a blob: address), not fetched.
  const strange = requests.filter((u) => u.split('#')[0] !== pageUrl && !u.startsWith('blob:'));
  check(strange.length === 0, `no request but the page itself${strange.length ? ': ' + strange.join(', ') : ''}`);
  exitCode = failures.length === 0 ? 0 : 1;
} catch (e) {
  console.log(`FAIL ${e.stack || e}`);
  console.log(`page errors: ${pageErrors.join('; ')}`);
} finally {
  await context.close();
  if (exitCode === 0) fs.rmSync(workDir, { recursive: true, force: true });
  else console.log(`pictures kept in ${workDir}`);
}
process.exit(exitCode);
