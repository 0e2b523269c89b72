// Measures the browser edition in Debian's chromium (headless, software
// rendering): time from load to the start screen, from the start click to the
// first intro frame, and the CPU share of chromium's processes while the
// reader shows an article with its module playing.
//
// node tools/dev/web_measure.mjs [build/web] [build/node/node_modules] [seconds]
import { createRequire } from 'node:module';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { waitOnPage } from '../../tests/web/pictures.mjs';

const webDir = path.resolve(process.argv[2] || 'build/web');
const nodeModules = path.resolve(process.argv[3] || 'build/node/node_modules');
const seconds = Number(process.argv[4] || 20);
const { chromium } = createRequire(import.meta.url)(path.join(nodeModules, 'playwright-core'));

const server = http.createServer((req, res) => {
  const name = new URL(req.url, 'http://x').pathname.replace(/^\/+/, '') || 'index.html';
  const file = path.join(webDir, path.basename(name));
  if (!fs.existsSync(file)) { res.writeHead(404); res.end(); return; }
  const type = name.endsWith('.wasm') ? 'application/wasm' : name.endsWith('.js') ? 'text/javascript' : 'text/html';
  res.writeHead(200, { 'Content-Type': type });
  fs.createReadStream(file).pipe(res);
});
const port = 8790 + Math.floor(Math.random() * 10);
await new Promise((resolve) => server.listen(port, '127.0.0.1', resolve));

const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'qv_web_measure_'));
const context = await chromium.launchPersistentContext(profile, {
  executablePath: '/usr/bin/chromium', headless: true, viewport: { width: 1200, height: 924 },
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
         '--disable-background-networking', '--disable-component-update', '--disable-sync',
         '--autoplay-policy=no-user-gesture-required'],
});

// CPU ticks (user + system) of every process of this chromium, by type.
const ticks = () => {
  const out = {};
  for (const pid of fs.readdirSync('/proc').filter((p) => /^\d+$/.test(p))) {
    try {
      const cmd = fs.readFileSync(`/proc/${pid}/cmdline`, 'latin1');
      if (!cmd.includes(profile)) continue;
      const stat = fs.readFileSync(`/proc/${pid}/stat`, 'latin1');
      const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
      const type = (cmd.match(/--type=([a-z-]+)/) || [, 'browser'])[1];
      const utility = (cmd.match(/--utility-sub-type=([a-zA-Z.]+)/) || [, ''])[1];
      const key = utility ? `${type}:${utility}` : type;
      out[key] = (out[key] || 0) + Number(fields[11]) + Number(fields[12]);
    } catch (e) { /* gone */ }
  }
  return out;
};
const hz = Number(execFileSync('getconf', ['CLK_TCK']).toString());

const page = context.pages()[0] || (await context.newPage());
await page.goto(`http://127.0.0.1:${port}/index.html`);
await page.waitForFunction(() => document.body.classList.contains('qv-ready'), null, { timeout: 30000 });
const startScreen = await page.evaluate(() => performance.now());
const box = await page.locator('#canvas').boundingBox();
const clicked = await page.evaluate(() => performance.now());
await page.mouse.click(box.x + box.width / 2, box.y + box.height / 2);
await waitOnPage(page, async () => {
  // The intro: a lit frame (not the start screen's text) with a row of more
  // than one colour (not the stripes).
  const d = await qvCanvasPixels(0, 0, 800, 600);
  let lit = 0;
  for (let i = 0; i < d.length; i += 4) if (d[i] + d[i + 1] + d[i + 2] > 60) ++lit;
  if (lit < 20000) return false;
  for (let y = 0; y < 600; y += 4) {
    for (let x = 4; x < 3200; x += 4) if (d[y * 3200 + x] !== d[y * 3200] || d[y * 3200 + x + 2] !== d[y * 3200 + 2]) return true;
  }
  return false;
}, null, 30000);
const intro = await page.evaluate(() => performance.now());
await page.mouse.move(box.x + 10, box.y + 10);
await page.keyboard.press('Escape');
await page.waitForTimeout(6000);  // hand-over stripes, then the reader

const frames = () => page.evaluate(() => new Promise((resolve) => {
  let n = 0;
  const t0 = performance.now();
  const step = () => (performance.now() - t0 < 2000 ? (++n, requestAnimationFrame(step)) : resolve(n / 2));
  requestAnimationFrame(step);
}));
const before = ticks();
const t0 = Date.now();
await page.waitForTimeout(seconds * 1000);
const after = ticks();
const wall = (Date.now() - t0) / 1000;
const fps = await frames();

console.log(`load to start screen: ${startScreen.toFixed(0)} ms (wasm fetched, compiled, content built)`);
console.log(`start click to first intro frame: ${(intro - clicked).toFixed(0)} ms (the program's 150 ms pause and 1.5 s of stripes included)`);
let total = 0;
for (const key of Object.keys(after).sort()) {
  const share = ((after[key] - (before[key] || 0)) / hz) / wall;
  total += share;
  console.log(`reader CPU ${key}: ${(100 * share).toFixed(1)} % of one core`);
}
console.log(`reader CPU all chromium processes: ${(100 * total).toFixed(1)} % of one core over ${wall.toFixed(1)} s; ${fps} frames/s`);
await context.close();
server.close();
fs.rmSync(profile, { recursive: true, force: true });
