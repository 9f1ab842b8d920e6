// The office's web page as the README shows it: 今 with a call ringing at
// phone width, the calls list and the chart at desktop width.
//   node tests/web/screenshots.mjs FOLDER   (TELORIA_BUILD_DIR, TELORIA_SOURCE_DIR set)
import path from 'node:path';
import { BOOK_NAME, KNOWN_NUMBER, Office, waitFor } from './office.mjs';

const folder = process.argv[2];
const office = new Office();
try {
  await office.startBroker();
  await office.startStations(400);
  await office.browser();
  const desktop = await office.openPage({ width: 1280, height: 800 });
  const phone = await office.openPage({ width: 390, height: 844 });
  await desktop.click('#tab-calls');
  await waitFor(async () => (await desktop.$eval('#callCount', (e) => Number(e.dataset.count))) === 800, 'the histories');
  await desktop.screenshot({ path: path.join(folder, 'web-desktop-calls.png') });
  await desktop.click('#tab-chart');
  await desktop.screenshot({ path: path.join(folder, 'web-desktop-chart.png') });
  await office.adapters.st1.run('ring');
  await office.adapters.st1.run(`number ${KNOWN_NUMBER}`);
  await phone.waitForSelector(`li[data-station=st1].ringing >> text=${BOOK_NAME}`);
  await phone.screenshot({ path: path.join(folder, 'web-phone-now.png') });
} finally {
  await office.stop();
}
