// The page's protocol code: catch-up requests, their answers and the merge
// with live call messages.
import assert from 'node:assert/strict';
import { createRequire } from 'node:module';
import { test } from 'node:test';
import { deflateSync } from 'node:zlib';

const require = createRequire(import.meta.url);
const { Office, ANSWER_WAIT_MS, filterCalls, inflateItems } = require('../../web/js/office.js');

const base = 'teloria2/office';
const desk = 'viewer-0123456789abcdef';
const status = (online, extra = {}) => JSON.stringify({ station: 'st1', online, adapter: true, ...extra });
const record = (order, state = 2, connected = true) => ({
  incoming_order: order,
  incoming_date: `2026/01/05 09:00:${String(order).padStart(2, '0')}.000`,
  number: `03${order}`,
  state,
  connected,
  offhook_seconds: 3,
  onhook_seconds: 30,
});
const sent = (out) => out.map((r) => ({ topic: r.topic, ...JSON.parse(r.payload) }));

function answer(office, request, items, more = false) {
  const payload = JSON.stringify({ id: request.id, station: 'st1', desk, what: request.what, items, more });
  return sent(office.take(`${base}/st1/response/viewer`, payload, 0));
}

function online() {
  const office = new Office({ base, desk });
  office.connect(0);
  const [request] = sent(office.take(`${base}/st1/status`, status(true), 0));
  return { office, request };
}

test('a station coming online is asked for its whole history page after page; gone offline, its request is given up', () => {
  const { office, request } = online();
  assert.deepEqual(request, { topic: `${base}/st1/request/viewer`, v: 1, id: request.id, desk, what: 'calls', after: null, deflate: true, page: 1000 });
  const [next] = answer(office, request, [record(1), record(2)], true);
  assert.deepEqual(next.after, { incoming_order: 2, incoming_date: record(2).incoming_date });
  assert.equal(office.waiting(0), true);
  assert.deepEqual(office.take(`${base}/st1/status`, status(true), 0), []); // on its way already
  assert.deepEqual(answer(office, next, [record(3)]), []);
  assert.equal(office.waiting(0), false);
  assert.deepEqual(office.calls().map((c) => c.order), [3, 2, 1]);
  office.take(`${base}/st1/status`, status(false), 0);
  const [back] = sent(office.take(`${base}/st1/status`, status(true), 0));
  office.take(`${base}/st1/status`, status(false), 0);
  assert.equal(office.waiting(0), false);
  assert.deepEqual(back.after, { incoming_order: 3, incoming_date: record(3).incoming_date });
  // Another desk's answer, an old id, another major version: nothing.
  assert.deepEqual(answer(office, { id: 'other', what: 'calls' }, [record(9)]), []);
  assert.equal(office.take(`${base}/st1/call`, JSON.stringify({ v: 2, kind: 2, incoming_order: 8, incoming_date: record(8).incoming_date }), 0).length, 0);
  assert.equal(office.calls().length, 3);
});

test('a deflated answer inflates to its items, and one that does not inflate is refused', async () => {
  const items = [record(1), { ...record(2), owner_name: '山田商店' }];
  const m = { id: 'a', items_deflate: deflateSync(JSON.stringify(items)).toString('base64'), more: false };
  assert.deepEqual(await inflateItems(m), { ...m, items });
  await assert.rejects(inflateItems({ items_deflate: 'bm90IHpsaWI=' }));
});

test('live messages merge with the history once each, never going back, and a call still ringing is asked for again', () => {
  const { office, request } = online();
  answer(office, request, [record(1), record(2, 0, false)]);
  const live = (kind, order, extra = {}) =>
    office.take(`${base}/st1/call`, JSON.stringify({ kind, number: `03${order}`, incoming_order: order, incoming_date: record(order).incoming_date, ring_seconds: 4, talk_seconds: 20, ...extra }), 5);
  live(1, 3);
  assert.deepEqual(office.station('st1').live.since, 5);
  live(2, 3, { owner_name: '山田商店' });
  assert.equal(office.station('st1').live.name, '山田商店');
  live(3, 3);
  live(4, 3);
  assert.equal(office.station('st1').live, null);
  const third = office.calls().find((c) => c.order === 3);
  assert.deepEqual([third.state, third.answered, third.ringSeconds, third.talkSeconds], [2, true, 4, 20]);
  live(2, 3); // delivered late: the ended call stays ended
  assert.equal(office.calls().find((c) => c.order === 3).state, 2);
  assert.equal(office.calls().length, 3);
  // Back after an outage: asked after the last call ended with all before it.
  office.disconnect();
  const [resume] = sent(office.connect(10));
  assert.deepEqual(resume.after, { incoming_order: 1, incoming_date: record(1).incoming_date });
  answer(office, resume, [record(2, 2, false), record(3), record(4, 2, false)]);
  assert.deepEqual(filterCalls(office.calls(), '', true).map((c) => c.order), [4, 2]);
  assert.deepEqual(filterCalls(office.calls(), '034', false).map((c) => c.order), [4]);
});

test('an unanswered request goes again under a new id; a station with another database starts over', () => {
  const { office, request } = online();
  assert.deepEqual(office.tick(ANSWER_WAIT_MS - 1), []);
  const [again] = sent(office.tick(ANSWER_WAIT_MS));
  assert.notEqual(again.id, request.id);
  assert.deepEqual(answer(office, request, [record(1)]), []); // the old id
  answer(office, again, [record(1)]);
  office.take(`${base}/st1/status`, status(true, { instance: 'a'.repeat(16) }), 0);
  office.take(`${base}/st1/status`, status(true, { instance: 'b'.repeat(16) }), 0);
  assert.equal(office.calls().length, 0);
});

test('the book is taken whole, then version by version; a gap asks for the changes', () => {
  const office = new Office({ base, desk, bookStation: 'desk1' });
  const book = (station, payload) => sent(office.take(`${base}/desk1/${station}`, JSON.stringify(payload), 0));
  sent(office.connect(0));
  office.disconnect(); // the whole book is begun again, not waited for
  const [whole] = sent(office.connect(0));
  assert.deepEqual([whole.topic, whole.what, whole.after], [`${base}/desk1/request/viewer`, 'book-whole', '']);
  const entry = (number, owner_name) => ({ number, owner_name, memo1: '', memo2: '', memo3: '' });
  const bookId = '0123456789abcdef';
  const [changes] = book(`response/viewer`, { id: whole.id, station: 'desk1', what: 'book-whole', book_id: bookId, items: [{ version: 4 }, entry('031', '山田')], more: false });
  assert.deepEqual(changes.after, { version: 4 });
  book(`response/viewer`, { id: changes.id, station: 'desk1', what: 'book-changes', items: [] });
  book('book', { version: 5, change: { kind: 'save', entries: [entry('032', '田中')] } });
  book('book', { version: 6, change: { kind: 'delete', numbers: ['031'] } });
  assert.deepEqual([...office.book.keys()], ['032']);
  const [gap] = book('book', { version: 8, change: { kind: 'save', entries: [entry('033', '佐藤')] } });
  assert.deepEqual(gap.after, { version: 6 });
  assert.equal(office.entry('032').name, '田中');
  // Another book under the same station: taken whole again.
  book(`response/viewer`, { id: gap.id, station: 'desk1', what: 'book-changes', book_id: bookId, items: [] });
  const [anew] = book('book', { version: 1, book_id: 'fedcba9876543210', change: { kind: 'save', entries: [] } });
  assert.equal(anew.what, 'book-whole');
});
