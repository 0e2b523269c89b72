// What the browser tests share: magtool's pictures read back, and the text
// area of the reader compared between the page's canvas and `magtool shot`.
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import zlib from 'node:zlib';

// Command-line options given as --name value pairs.
export function parseArgs(argv = process.argv) {
  const args = {};
  for (let i = 2; i + 1 < argv.length; i += 2) args[argv[i].replace(/^--/, '')] = argv[i + 1];
  return args;
}

// The flags every test starts Debian's chromium with (as root, headless, with
// no network to reach and sound allowed without a gesture).
export const CHROMIUM_ARGS = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
                              '--disable-background-networking', '--disable-component-update', '--disable-sync',
                              '--autoplay-policy=no-user-gesture-required'];

// Waits until `predicate`, run on the page, returns true; it may be async,
// as reading the shown picture (qvCanvasPixels) is. playwright's
// waitForFunction would take the promise itself for a true value.
export async function waitOnPage(page, predicate, arg = null, timeoutMs = 30000) {
  const deadline = Date.now() + timeoutMs;
  while (!(await page.evaluate(predicate, arg))) {
    if (Date.now() > deadline) throw new Error(`waited ${timeoutMs} ms in vain for: ${String(predicate).slice(0, 200)}`);
    await page.waitForTimeout(50);
  }
}

// Waits for a lit frame after the start click: more than 20000 pixels that
// are not near black (the stripes or the intro, not the start screen's text).
export function waitForLitFrame(page, timeoutMs = 30000) {
  return waitOnPage(page, async () => {
    const d = await qvCanvasPixels(0, 0, 800, 600);
    let lit = 0;
    for (let i = 0; i < d.length; i += 4) if (d[i] + d[i + 1] + d[i + 2] > 60) ++lit;
    return lit > 20000;
  }, null, timeoutMs);
}

// Prints an ok or FAIL line per check and keeps what failed.
export function checker() {
  const failures = [];
  const check = (ok, what) => {
    console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`);
    if (!ok) failures.push(what);
  };
  return { failures, check };
}

// The text area compared with the reference frames (as in the Linux test).
export const AREA = { left: 20, top: 193, right: 767, bottom: 569 };

// magtool's pictures: 8-bit RGB or RGBA PNG, not interlaced.
export function readPng(file) {
  const data = fs.readFileSync(file);
  let pos = 8, width = 0, height = 0, channels = 0;
  const idat = [];
  while (pos < data.length) {
    const length = data.readUInt32BE(pos);
    const type = data.toString('latin1', pos + 4, pos + 8);
    const body = data.subarray(pos + 8, pos + 8 + length);
    if (type === 'IHDR') {
      width = body.readUInt32BE(0);
      height = body.readUInt32BE(4);
      if (body[8] !== 8 || body[12] !== 0 || (body[9] !== 2 && body[9] !== 6)) throw new Error(`${file}: unsupported PNG`);
      channels = body[9] === 2 ? 3 : 4;
    } else if (type === 'IDAT') {
      idat.push(body);
    }
    pos += 12 + length;
  }
  const raw = zlib.inflateSync(Buffer.concat(idat));
  const stride = width * channels;
  const out = Buffer.alloc(width * height * 3);
  let previous = Buffer.alloc(stride);
  for (let y = 0; y < height; ++y) {
    const filter = raw[y * (stride + 1)];
    const line = Buffer.from(raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1)));
    for (let x = 0; x < stride; ++x) {
      const a = x >= channels ? line[x - channels] : 0, b = previous[x], c = x >= channels ? previous[x - channels] : 0;
      let predictor = 0;
      if (filter === 1) predictor = a;
      else if (filter === 2) predictor = b;
      else if (filter === 3) predictor = (a + b) >> 1;
      else if (filter === 4) {
        const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
        predictor = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
      }
      line[x] = (line[x] + predictor) & 0xff;
    }
    for (let x = 0; x < width; ++x) line.copy(out, (y * width + x) * 3, x * channels, x * channels + 3);
    previous = line;
  }
  return { width, height, rgb: out };
}


// The text area of `magtool shot` with the given options, as base64 RGB.
export function referenceArea(magtool, workDir, name, options) {
  const file = path.join(workDir, `${name}_ref.png`);
  execFileSync(magtool, ['shot', file, ...options]);
  const png = readPng(file);
  const w = AREA.right - AREA.left + 1, h = AREA.bottom - AREA.top + 1;
  const area = Buffer.alloc(w * h * 3);
  for (let y = 0; y < h; ++y) png.rgb.copy(area, y * w * 3, ((AREA.top + y) * png.width + AREA.left) * 3,
                                           ((AREA.top + y) * png.width + AREA.right + 1) * 3);
  return area.toString('base64');
}

// The rows of the text area that the reader animates with its clock (the
// colour-cycling rules of some articles): they differ between shots at
// different clock values.
export function animatedRows(magtool, workDir, name, options) {
  const shots = [0, 777, 1234].map((clock) => {
    const file = path.join(workDir, `${name}_clock${clock}.png`);
    execFileSync(magtool, ['shot', file, ...options, '--clock', String(clock)]);
    return readPng(file);
  });
  const rows = [];
  for (let y = AREA.top; y <= AREA.bottom; ++y) {
    const differs = shots.slice(1).some((other) => {
      const start = (y * other.width + AREA.left) * 3, end = (y * other.width + AREA.right + 1) * 3;
      return Buffer.compare(shots[0].rgb.subarray(start, end), other.rgb.subarray(start, end)) !== 0;
    });
    if (differs) rows.push(y - AREA.top);
  }
  return rows;
}

// The pixels of the page's text area that differ from a reference area,
// leaving out the given rows of the area (counted from its top).
export function areaDifferences(page, reference, skippedRows = []) {
  return page.evaluate(async ({ reference, area, skippedRows }) => {
    const w = area.right - area.left + 1, h = area.bottom - area.top + 1;
    const pixels = await qvCanvasPixels(area.left, area.top, w, h);
    const ref = Uint8Array.from(atob(reference), (c) => c.charCodeAt(0));
    const skipped = new Set(skippedRows);
    let differences = 0;
    for (let i = 0; i < w * h; ++i) {
      if (skipped.has(Math.floor(i / w))) continue;
      if (pixels[4 * i] !== ref[3 * i] || pixels[4 * i + 1] !== ref[3 * i + 1] || pixels[4 * i + 2] !== ref[3 * i + 2]) {
        ++differences;
      }
    }
    return differences;
  }, { reference, area: AREA, skippedRows });
}
