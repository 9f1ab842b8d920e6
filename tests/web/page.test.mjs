// The office's web page in headless Chromium, served by a real mosquitto,
// against real stations and the book station.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { after, before, test } from 'node:test';
import { BOOK_NAME, KNOWN_NUMBER, Office, waitFor } from './office.mjs';

const CALLS = 3000;
const office = new Office();
let page;

const count = (p, id) => p.$eval(`#${id}`, (e) => Number(e.dataset.count ?? -1));
const text = (p, selector) => p.$eval(selector, (e) => e.textContent);
const stored = (name, where) =>
  Number(execFileSync('sqlite3', [office.programs[name].db, `SELECT count(*) FROM ${where}`]).toString());

async function searchCalls(p, search, unanswered = false) {
  await p.click('#tab-calls');
  await p.fill('#callSearch', search);
  await p.setChecked('#unanswered', unanswered);
}

before(async () => {
  await office.startBroker();
  await office.startStations(CALLS);
  await office.browser();
  page = await office.openPage();
});
after(() => office.stop());

test('the histories load whole, are searchable, and 未応答 shows exactly the unanswered calls', async () => {
  await searchCalls(page, '');
  // Paced by the broker's websockets (see the README), not by the page.
  await waitFor(async () => (await count(page, 'callCount')) === 2 * CALLS, 'both histories', 60000);
  await searchCalls(page, '0600000123');
  await waitFor(async () => (await count(page, 'callCount')) === 1, 'one call found');
  assert.match(await text(page, '#callList li'), /st2.*0600000123.*応答/);
  await searchCalls(page, '', true);
  await waitFor(async () => (await count(page, 'callCount')) === (2 * CALLS) / 5, 'the unanswered calls');
  const outcomes = await page.$$eval('#callList .outcome', (all) => [...new Set(all.map((e) => e.textContent))]);
  assert.deepEqual(outcomes, ['未応答']);
});

test('a call rung shows in 今 with the office book\'s name, then once in the calls list with its outcome', async () => {
  // The station has taken the office book.
  await waitFor(() => stored('st1', `phone_numbers WHERE phone_number = '${KNOWN_NUMBER}'`) === 1, 'the book at st1');
  await page.click('#tab-now');
  await office.adapters.st1.run('ring');
  await office.adapters.st1.run(`number ${KNOWN_NUMBER}`);
  await page.waitForSelector(`li[data-station=st1].ringing >> text=${BOOK_NAME}`);
  await office.adapters.st1.run('offhook');
  await page.waitForSelector('li[data-station=st1].talking >> text=通話中');
  await office.adapters.st1.run('onhook');
  await page.waitForSelector('li[data-station=st1]:not(.talking):not(.ringing)');
  await searchCalls(page, KNOWN_NUMBER);
  await waitFor(async () => (await text(page, '#callList')).includes('応答'), 'the ended call');
  assert.equal(await count(page, 'callCount'), 1);
  assert.match(await text(page, '#callList li'), new RegExp(`st1.*${KNOWN_NUMBER}.*${BOOK_NAME}.*応答`));
});

test('the page shows a broker restart, reconnects, and catches up the calls made meanwhile', async () => {
  await office.stopBroker();
  await waitFor(async () => (await text(page, '#state')).includes('接続が切れました'), 'the loss shown');
  await office.adapters.st2.run('ring');
  await office.adapters.st2.run('number 0699999999');
  await office.adapters.st2.run('unanswered');
  await waitFor(() => stored('st2', "incoming_numbers WHERE phone_number = '0699999999' AND state = 2") === 1, 'st2 records the call');
  await office.startBroker();
  await waitFor(async () => (await text(page, '#state')) === '接続しました', 'the page back');
  await searchCalls(page, '0699999999', true);
  await waitFor(async () => (await count(page, 'callCount')) === 1, 'the call made meanwhile');
  await searchCalls(page, '');
  await waitFor(async () => (await count(page, 'callCount')) === 2 * CALLS + 2, 'every call once');
});

test('at 390x844 no view scrolls sideways', async () => {
  const phone = await office.openPage({ width: 390, height: 844 });
  await waitFor(async () => (await text(phone, '#state')) === '接続しました', 'the phone connected');
  for (const tab of ['now', 'calls', 'book', 'chart']) {
    await phone.click(`#tab-${tab}`);
    await waitFor(() => phone.evaluate(() => document.querySelector('[role=tabpanel]:not([hidden])').childElementCount > 0), tab);
    const wide = await phone.evaluate(() => document.documentElement.scrollWidth - document.documentElement.clientWidth);
    assert.equal(wide, 0, `${tab} scrolls sideways`);
  }
  assert.deepEqual(phone.problems, []);
  assert.deepEqual(page.problems, []);
});

test('a wrong password is told on the log-in form, and nothing is kept', async () => {
  const wrong = await office.chromium.newPage();
  await wrong.goto(office.url);
  await wrong.fill('#user', 'viewer');
  await wrong.fill('#password', 'not-the-password');
  await wrong.click('button[type=submit]');
  await wrong.waitForSelector('#loginError >> text=ユーザー名またはパスワードが違います。');
  assert.equal(await wrong.evaluate(() => sessionStorage.length), 0);
  await wrong.close();
});

test('the viewer account cannot publish a call, a status or a request under another name', async () => {
  const viewer = await office.client('viewer');
  const spy = await office.client('desk1');
  const probe = '{"v":1,"probe":true}';
  const seen = [];
  spy.on('message', (topic, payload) => payload.toString() === probe && seen.push(topic));
  await spy.subscribeAsync('teloria2/office/#');
  // A request under another account's name too.
  for (const topic of ['teloria2/office/st1/call', 'teloria2/office/viewer/call', 'teloria2/office/st1/status', 'teloria2/office/desks/viewer', 'teloria2/office/st1/request/st2'])
    await assert.rejects(viewer.publishAsync(topic, probe, { qos: 1 }), /Not authorized/, topic);
  // What the viewer may write, last: once it arrives, nothing else came.
  await viewer.publishAsync('teloria2/office/st1/request/viewer', probe, { qos: 1 });
  await waitFor(() => seen.includes('teloria2/office/st1/request/viewer'), 'the allowed request');
  assert.deepEqual(seen, ['teloria2/office/st1/request/viewer']);
  await Promise.all([viewer.endAsync(), spy.endAsync()]);
});

test('the viewer account cannot edit the book', async () => {
  const viewer = await office.client('viewer');
  const request = { v: 1, id: 'x-1', desk: 'viewer-0000000000000000', what: 'book-edit', after: {} };
  await assert.rejects(viewer.publishAsync('teloria2/office/desk1/edit/viewer', JSON.stringify(request), { qos: 1 }), /Not authorized/);
  await viewer.endAsync();
});
