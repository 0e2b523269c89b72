// Reading at rest in the browser against a bare page, side by side in one
// run of Debian's chromium (headless, software rendering): the CPU share of
// all of chromium's processes while
// - bare: a page that puts a full 800 x 600 frame (new pixels each time)
//   on its canvas every animation frame, and nothing else;
// - band: the same page putting only rows 56 to 131 (the rows the reader
//   changes at rest) every animation frame;
// - reader: the browser edition showing the editorial with module 1 playing,
// each on a first visit (a fresh profile) and after a reload. Prints the
// shares and the ratios to the bare page.
//
// node tools/dev/web_rest_cpu.mjs [build/web] [build/node/node_modules] [seconds]
import { createRequire } from 'node:module';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';

const webDir = path.resolve(process.argv[2] || 'build/web');
const nodeModules = path.resolve(process.argv[3] || 'build/node/node_modules');
const seconds = Number(process.argv[4] || 10);
const { chromium } = createRequire(import.meta.url)(path.join(nodeModules, 'playwright-core'));

const barePage = `<!doctype html><html><head><meta charset="utf-8"><title>bare</title>
<style>html,body{margin:0;height:100%;background:#000;overflow:hidden}body{display:flex;align-items:center;justify-content:center}
canvas{width:min(100vw,calc((100vh - 24px)*4/3));height:min(75vw,calc(100vh - 24px));image-rendering:pixelated}</style></head>
<body><canvas id="canvas" width="800" height="600"></canvas><script>
const g = document.getElementById('canvas').getContext('2d', { alpha: false });
const image = new ImageData(800, 600);
const words = new Uint32Array(image.data.buffer);
let n = 0;
const frame = () => {
  ++n;
  for (let i = 0; i < words.length; i += 1) words[i] = 0xff000000 | ((i + n) & 0xff) << 8;
  g.putImageData(image, 0, 0);
  requestAnimationFrame(frame);
};
requestAnimationFrame(frame);
</script></body></html>`;

const server = http.createServer((req, res) => {
  const name = new URL(req.url, 'http://x').pathname.replace(/^\/+/, '') || 'index.html';
  if (name === 'bare.html' || name === 'band.html') {
    res.writeHead(200, { 'Content-Type': 'text/html' });
    res.end(name === 'bare.html' ? barePage
                                 : barePage.replace('g.putImageData(image, 0, 0);', 'g.putImageData(image, 0, 0, 0, 56, 800, 76);'));
    return;
  }
  const file = path.join(webDir, path.basename(name));
  if (!fs.existsSync(file)) { res.writeHead(404); res.end(); return; }
  const type = name.endsWith('.wasm') ? 'application/wasm' : name.endsWith('.js') ? 'text/javascript' : 'text/html';
  res.writeHead(200, { 'Content-Type': type });
  fs.createReadStream(file).pipe(res);
});
const port = 8800 + Math.floor(Math.random() * 50);
await new Promise((resolve) => server.listen(port, '127.0.0.1', resolve));
const hz = Number(execFileSync('getconf', ['CLK_TCK']).toString());

// CPU ticks (user + system) of every process of one chromium profile.
const ticks = (profile) => {
  let sum = 0;
  for (const pid of fs.readdirSync('/proc').filter((p) => /^\d+$/.test(p))) {
    try {
      if (!fs.readFileSync(`/proc/${pid}/cmdline`, 'latin1').includes(profile)) continue;
      const stat = fs.readFileSync(`/proc/${pid}/stat`, 'latin1');
      const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
      sum += Number(fields[11]) + Number(fields[12]);
    } catch (e) { /* gone */ }
  }
  return sum;
};

async function toReader(page) {
  await page.waitForFunction(() => document.body.classList.contains('qv-ready'), null, { timeout: 60000 });
  const box = await page.locator('#canvas').boundingBox();
  await page.mouse.click(box.x + box.width / 2, box.y + box.height / 2);
  await page.waitForTimeout(3000);
  await page.mouse.move(box.x + 10, box.y + 10);
  await page.keyboard.press('Escape');
  await page.waitForTimeout(6000);  // the hand-over, then the reader at rest
}

async function measure(which) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), `qv_rest_${which}_`));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: '/usr/bin/chromium', headless: true, viewport: { width: 1200, height: 924 },
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync',
           '--autoplay-policy=no-user-gesture-required'],
  });
  const page = context.pages()[0] || (await context.newPage());
  const url = `http://127.0.0.1:${port}/${which === 'reader' ? 'index' : which}.html`;
  const shares = {};
  for (const visit of ['first visit', 'after reload']) {
    if (visit === 'first visit') await page.goto(url);
    else await page.reload();
    if (which === 'reader') await toReader(page);
    else await page.waitForTimeout(3000);
    const before = ticks(profile), t0 = Date.now();
    await page.waitForTimeout(seconds * 1000);
    shares[visit] = (ticks(profile) - before) / hz / ((Date.now() - t0) / 1000);
  }
  await context.close();
  fs.rmSync(profile, { recursive: true, force: true });
  return shares;
}

// Alternated, so that a change in the machine's load touches both alike.
const bare = await measure('bare');
const band = await measure('band');
const reader = await measure('reader');
const bareAgain = await measure('bare');
const percent = (x) => `${(100 * x).toFixed(1)} %`;
for (const visit of ['first visit', 'after reload']) {
  const b = (bare[visit] + bareAgain[visit]) / 2;
  console.log(`${visit}: bare page ${percent(b)} of one core (${percent(bare[visit])}, ${percent(bareAgain[visit])}); ` +
              `band page ${percent(band[visit])}, ratio ${(band[visit] / b).toFixed(2)}; ` +
              `reader ${percent(reader[visit])}, ratio ${(reader[visit] / b).toFixed(2)}`);
}
server.close();
