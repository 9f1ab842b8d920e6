// The office's web page in headless Chromium: opened to the calls list
// complete with two stations' 3,000 calls each, a call's number on a
// station's line to the caller's name in 今, and the size of what the
// browser loads (compressed). Prints RESULT lines for scripts/bench.
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { KNOWN_NUMBER, BOOK_NAME, Office, waitFor } from '../../tests/web/office.mjs';

const CALLS = 3000;
const LOADS = 5;
const RINGS = 10;

function result(measure, value, unit, limit) {
  const figure = `${value.toFixed(unit === 'KB' ? 1 : 0)} ${unit}`;
  const goal = limit === undefined ? '-' : `under ${limit} ${unit}`;
  const verdict = limit === undefined ? '-' : value < limit ? 'pass' : 'fail';
  console.log(['RESULT', measure, figure, goal, verdict].join('\t'));
}
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

function compressedKb(folder) {
  let bytes = 0;
  for (const file of fs.readdirSync(folder, { recursive: true })) {
    const full = path.join(folder, file);
    if (fs.statSync(full).isFile()) bytes += execFileSync('gzip', ['-9c', full]).length;
  }
  return bytes / 1024;
}

const office = new Office();
try {
  await office.startBroker();
  await office.startStations(CALLS);
  await office.browser();
  // Ready once a first page has the whole histories.
  const warm = await office.openPage();
  await warm.click('#tab-calls');
  await waitFor(async () => (await warm.$eval('#callCount', (e) => Number(e.dataset.count))) === 2 * CALLS, 'the histories', 60000);
  await warm.close();

  const loads = [];
  for (let i = 0; i < LOADS; ++i) {
    const context = await office.chromium.newContext();
    // Logged in already in this tab: the page connects as it opens.
    await context.addInitScript((login) => sessionStorage.setItem('teloria2.login', JSON.stringify(login)), {
      user: 'viewer', password: office.users.viewer, bookStation: 'desk1', token: String(i).padStart(16, '0'),
    });
    const page = await context.newPage();
    await page.goto(`${office.url}#calls`);
    await page.waitForFunction((n) => Number(document.getElementById('callCount').dataset.count) === n, 2 * CALLS, { polling: 'raf', timeout: 60000 });
    loads.push(await page.evaluate(() => performance.now()));
    await context.close();
  }
  result(`web page opened to the calls list complete (2 stations x ${CALLS} calls), median of ${LOADS}`, median(loads), 'ms', 2000);
  result('web page opened to the calls list complete, slowest', Math.max(...loads), 'ms');

  const page = await office.openPage();
  await waitFor(async () => (await page.textContent('#state')) === '接続しました', 'the page');
  const rings = [];
  for (let i = 0; i < RINGS; ++i) {
    await office.adapters.st1.run('ring');
    const start = Date.now();
    await office.adapters.st1.run(`number ${KNOWN_NUMBER}`);
    await page.waitForSelector(`li[data-station=st1].ringing >> text=${BOOK_NAME}`);
    rings.push(Date.now() - start);
    await office.adapters.st1.run('unanswered');
    await page.waitForSelector('li[data-station=st1]:not(.ringing)');
  }
  result('web page: caller number on a station\'s line to the name shown in 今, median', median(rings), 'ms');
  result('web page: caller number on a station\'s line to the name shown in 今, max', Math.max(...rings), 'ms', 1000);
  result('web page: its files (HTML, CSS, JS, MQTT.js) gzip-compressed', compressedKb(path.join(process.env.TELORIA_BUILD_DIR, 'web')), 'KB', 300);
} finally {
  await office.stop();
}
