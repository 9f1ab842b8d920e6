// The office-sharing protocol as this page speaks it, and what the page
// knows of the office: the stations, their calls (history pages merged with
// live messages) and the office book. No DOM and no network here, so that a
// field's change touches this file only: the page hands messages in and
// publishes the requests it gets back.
(function (root) {
'use strict';

const DEFAULT_BASE = 'teloria2/office';
// A request unanswered this long is sent again under a new id.
const ANSWER_WAIT_MS = 10000;
const ANSWER_DUE_MS = 3000;
const CALLS_PAGE = 1000;
const DATE_PATTERN = /^\d{4}\/\d{2}\/\d{2} \d{2}:\d{2}:\d{2}\.\d{3}$/;
const NAME_PATTERN = /^[A-Za-z0-9_-]{1,64}$/;

// 16 lowercase hex characters, random.
function randomToken() {
  const bytes = new Uint8Array(8);
  globalThis.crypto.getRandomValues(bytes);
  return Array.from(bytes, (b) => b.toString(16).padStart(2, '0')).join('');
}

// The page asks as a desk of its own: the account's name and a token of the tab.
function deskName(user, token) {
  const name = NAME_PATTERN.test(user || '') ? user : 'web';
  return `${name}-${token}`;
}

// The account the page logs in with: requests go, and answers come, under its
// name, so that the broker lets each account ask only as itself.
function askerOf(desk) {
  return desk.replace(/-[0-9a-f]{16}$/, '');
}

function subscriptions(base, desk) {
  return [`${base}/+/status`, `${base}/+/call`, `${base}/+/book`, `${base}/+/response/${askerOf(desk)}`];
}

function requestTopic(base, station, desk) {
  return `${base}/${station}/request/${askerOf(desk)}`;
}

// { kind: 'status'|'call'|'book'|'response', station, desk } or null.
function parseTopic(base, topic) {
  if (!topic.startsWith(base + '/')) return null;
  const levels = topic.slice(base.length + 1).split('/');
  if (!NAME_PATTERN.test(levels[0])) return null;
  if (levels.length === 3 && levels[1] === 'response') return { kind: 'response', station: levels[0], desk: levels[2] };
  if (levels.length === 2 && ['status', 'call', 'book'].includes(levels[1])) return { kind: levels[1], station: levels[0] };
  return null;
}

// The message's JSON object, or null for anything else and for a major
// version other than 1 (a message without "v" is version 1).
function readMessage(payload) {
  let o;
  try {
    o = JSON.parse(typeof payload === 'string' ? payload : new TextDecoder().decode(payload));
  } catch {
    return null;
  }
  if (!o || typeof o !== 'object' || Array.isArray(o)) return null;
  const v = o.v === undefined ? 1 : Math.floor(Number(o.v));
  return v === 1 ? o : null;
}

// A response's "items_deflate" (asked for with "deflate") inflated into its
// "items"; any other message as it is. Async, as a browser inflates only
// through a stream; throws for items that do not inflate to JSON.
async function inflateItems(m) {
  if (typeof m?.items_deflate !== 'string' || m.items !== undefined) return m;
  const bytes = Uint8Array.from(atob(m.items_deflate), (c) => c.charCodeAt(0));
  const inflated = new Blob([bytes]).stream().pipeThrough(new DecompressionStream('deflate'));
  return { ...m, items: JSON.parse(await new Response(inflated).text()) };
}

const text = (v) => (typeof v === 'string' ? v : '');
const count = (v) => (Number.isInteger(v) && v >= 0 ? v : 0);

function callKey(station, date, order) {
  return `${station}\u0000${date}\u0000${order}`;
}

// A call as the page lists it, from a history item; null when it is not one.
function callOfRecord(station, item) {
  if (!item || !Number.isInteger(item.incoming_order) || !DATE_PATTERN.test(item.incoming_date)) return null;
  const state = item.state;
  if (![0, 1, 2].includes(state)) return null;
  return {
    key: callKey(station, item.incoming_date, item.incoming_order),
    station,
    order: item.incoming_order,
    date: item.incoming_date,
    number: text(item.number),
    state, // 0 ringing, 1 answered, 2 ended
    answered: item.connected === true,
    ringSeconds: count(item.offhook_seconds),
    talkSeconds: count(item.onhook_seconds),
    name: text(item.owner_name),
    memos: [text(item.memo1), text(item.memo2), text(item.memo3)],
  };
}

// What a live call message tells of its call, once the station recorded it:
// nothing for a ring, an end, or a call without the station's key.
function callOfMessage(station, m) {
  if (m.kind === 1 || m.kind === 7) return null;
  return callOfRecord(station, {
    ...m,
    state: m.kind === 2 ? 0 : m.kind === 3 ? 1 : 2,
    connected: m.kind === 3 || m.kind === 4,
    offhook_seconds: m.kind === 3 || m.kind === 4 ? m.ring_seconds : 0,
    onhook_seconds: m.kind === 4 ? m.talk_seconds : 0,
  });
}

function compareCalls(a, b) {
  if (a.date !== b.date) return a.date < b.date ? -1 : 1;
  if (a.order !== b.order) return a.order - b.order;
  return a.station < b.station ? -1 : a.station > b.station ? 1 : 0;
}

function newStation(name) {
  return { name, online: false, adapter: false, instance: null, calls: new Map(), live: null };
}

class Office {
  constructor({ base = DEFAULT_BASE, desk, bookStation = '' }) {
    this.base = base;
    this.desk = desk;
    this.bookStation = bookStation;
    this.stations = new Map();
    this.book = new Map(); // number -> entry
    this.bookVersion = -1;
    this.bookId = null; // "book_id": the book's own, made when it was begun
    this.bookWhole = null; // entries of a whole-book fetch under way
    this.pending = []; // requests on their way: { id, station, what, after, sentAt, again }
    this.count = 0;
    this.connected = false;
    this.sorted = null;
  }

  station(name) {
    if (!this.stations.has(name)) this.stations.set(name, newStation(name));
    return this.stations.get(name);
  }

  // Every call of every station, newest first.
  calls() {
    if (!this.sorted) {
      this.sorted = [];
      for (const s of this.stations.values()) for (const c of s.calls.values()) this.sorted.push(c);
      this.sorted.sort((a, b) => compareCalls(b, a));
    }
    return this.sorted;
  }

  // Connected (again): every station online and the book are asked for what
  // the page missed. Returns the requests to publish.
  connect(now) {
    this.connected = true;
    this.pending = [];
    const out = [];
    for (const s of this.stations.values()) if (s.online) this.askCalls(s, now, out);
    this.catchUpBook(now, out);
    return out;
  }

  disconnect() {
    this.connected = false;
    this.pending = [];
    this.bookWhole = null; // begun again once connected
    for (const s of this.stations.values()) s.live = null;
  }

  // A message on a topic under the base: returns the requests to publish.
  take(topic, payload, now) {
    return this.takeMessage(topic, readMessage(payload), now);
  }

  // The same, read (and inflated) already.
  takeMessage(topic, m, now) {
    const t = parseTopic(this.base, topic);
    if (!t || !m) return [];
    if (t.kind === 'status') return this.takeStatus(t.station, m, now);
    if (t.kind === 'call') return this.takeCall(t.station, m, now);
    if (t.kind === 'book') return this.takeBookVersion(t.station, m, now);
    // Other tabs of the account get the same answers: each takes its own.
    if (t.kind === 'response' && t.desk === askerOf(this.desk) && (m.desk === undefined || m.desk === this.desk))
      return this.takeResponse(t.station, m, now);
    return [];
  }

  takeStatus(name, m, now) {
    const s = this.station(name);
    const was = s.online;
    s.online = m.online === true;
    s.adapter = s.online && m.adapter === true;
    const out = [];
    if (!s.online) {
      s.live = null;
      this.pending = this.pending.filter((p) => p.station !== name); // asked again when back
      if (name === this.bookStation) this.bookWhole = null;
    }
    // Another database under the same name: its keys mean other calls.
    if (typeof m.instance === 'string' && s.instance !== null && m.instance !== s.instance) {
      s.calls.clear();
      this.sorted = null;
    }
    if (typeof m.instance === 'string') s.instance = m.instance;
    if (s.online && !was) this.askCalls(s, now, out);
    if (name === this.bookStation && s.online && !was) this.catchUpBook(now, out);
    return out;
  }

  takeCall(name, m, now) {
    const s = this.station(name);
    const kind = m.kind;
    if (kind === 1) s.live = { number: '', name: '', memos: ['', '', ''], since: now, talkingSince: null };
    else if (kind === 2 || kind === 3) {
      s.live ??= { number: '', name: '', memos: ['', '', ''], since: now, talkingSince: null };
      if (kind === 2) {
        s.live.number = text(m.number);
        s.live.name = text(m.owner_name);
        s.live.memos = [text(m.memo1), text(m.memo2), text(m.memo3)];
      } else s.live.talkingSince = now;
    } else if (kind === 4 || kind === 5 || kind === 7) s.live = null;
    const call = callOfMessage(name, m);
    if (call) this.merge(s, call);
    return [];
  }

  // A call known already keeps what is further on (ringing, answered, ended).
  merge(s, call) {
    const known = s.calls.get(call.key);
    if (known && known.state > call.state) return;
    s.calls.set(call.key, call);
    this.sorted = null;
  }

  // Where the station's history is asked on from: after the last call of the
  // run of ended calls from the start, so that a call still ringing when it
  // was last seen is asked for again.
  resumeKey(s) {
    let last = null;
    for (const c of [...s.calls.values()].sort(compareCalls)) {
      if (c.state !== 2) break;
      last = c;
    }
    return last && { incoming_order: last.order, incoming_date: last.date };
  }

  askCalls(s, now, out) {
    this.ask(s.name, 'calls', () => this.resumeKey(s), now, out);
  }

  // At most one request per station and subject on its way; one wanted
  // meanwhile follows its answer.
  ask(station, what, after, now, out) {
    if (!this.connected) return;
    const on = this.pending.find((p) => p.station === station && p.what === what);
    if (on) {
      on.again = true;
      return;
    }
    const p = { id: `${this.desk}-${++this.count}`, station, what, after: after(), sentAt: now, again: false };
    this.pending.push(p);
    out.push(this.requestOf(p));
  }

  requestOf(p) {
    // Deflated, and calls a thousand at a time: every answer takes a trip
    // through the broker's websocket, which is slow.
    const body = { v: 1, id: p.id, desk: this.desk, what: p.what, after: p.after, deflate: true };
    if (p.what === 'calls') body.page = CALLS_PAGE;
    return { topic: requestTopic(this.base, p.station, this.desk), payload: JSON.stringify(body) };
  }

  // Requests unanswered too long, again under new ids.
  tick(now) {
    const out = [];
    for (const p of this.pending)
      if (now - p.sentAt >= ANSWER_WAIT_MS) {
        p.id = `${this.desk}-${++this.count}`;
        p.sentAt = now;
        out.push(this.requestOf(p));
      }
    return out;
  }

  // Whether an answer is due: a request sent in the last few seconds.
  waiting(now) {
    return this.pending.some((p) => now - p.sentAt < ANSWER_DUE_MS);
  }

  takeResponse(station, m, now) {
    const i = this.pending.findIndex((p) => p.id === m.id && p.station === station && p.what === m.what);
    if (i < 0 || !Array.isArray(m.items)) return [];
    const [p] = this.pending.splice(i, 1);
    const out = [];
    if (p.what === 'calls') {
      const s = this.station(station);
      for (const item of m.items) {
        const call = callOfRecord(station, item);
        if (call) this.merge(s, call);
      }
      if (m.more === true) this.askCalls(s, now, out);
    } else if (p.what === 'book-whole') this.takeWholePage(m, now, out);
    else if (p.what === 'book-changes') this.takeChanges(m, p.again, now, out);
    return out;
  }

  // ---- The office book, read only ----

  catchUpBook(now, out) {
    if (!this.bookStation || !this.connected || this.bookWhole) return;
    if (this.bookVersion < 0) {
      this.bookWhole = new Map();
      this.ask(this.bookStation, 'book-whole', () => '', now, out);
    } else this.ask(this.bookStation, 'book-changes', () => ({ version: this.bookVersion }), now, out);
  }

  takeWholePage(m, now, out) {
    if (!this.bookWhole) return;
    const [head, ...entries] = m.items;
    if (this.bookWhole.version === undefined) this.bookWhole.version = head?.version;
    this.bookWhole.id ??= typeof m.book_id === 'string' ? m.book_id : null;
    for (const e of entries) if (e && typeof e.number === 'string') this.bookWhole.set(e.number, entryOf(e));
    if (m.more === true && entries.length > 0) {
      const last = entries[entries.length - 1].number;
      this.ask(this.bookStation, 'book-whole', () => last, now, out);
      return;
    }
    this.book = this.bookWhole;
    this.bookId = this.bookWhole.id;
    this.bookVersion = Number.isInteger(this.bookWhole.version) ? this.bookWhole.version : 0;
    this.bookWhole = null;
    this.catchUpBook(now, out);
  }

  // A book begun anew at the book station: its versions count again.
  otherBook(m) {
    return typeof m.book_id === 'string' && this.bookId !== null && m.book_id !== this.bookId;
  }

  takeChanges(m, again, now, out) {
    const first = m.items[0];
    if ((m.items.length === 1 && first?.whole === true) || this.otherBook(m)) {
      this.bookVersion = -1;
      this.catchUpBook(now, out);
      return;
    }
    for (const v of m.items) if (!this.applyVersion(v)) break;
    if (m.more === true || again) this.catchUpBook(now, out);
  }

  takeBookVersion(station, m, now) {
    if (station !== this.bookStation || this.bookWhole || this.bookVersion < 0) return [];
    const out = [];
    if (this.otherBook(m)) this.bookVersion = -1;
    if (this.bookVersion < 0 || !this.applyVersion(m)) this.catchUpBook(now, out);
    return out;
  }

  // The next version in order; false for one after a missing one.
  applyVersion(v) {
    if (!Number.isInteger(v?.version)) return false;
    if (v.version <= this.bookVersion) return true;
    if (v.version !== this.bookVersion + 1) return false;
    const change = v.change || {};
    const entries = Array.isArray(change.entries) ? change.entries : [];
    if (change.kind === 'delete') for (const n of change.numbers || []) this.book.delete(n);
    else
      for (const e of entries)
        if (typeof e?.number === 'string' && (change.kind !== 'register' || !this.book.has(e.number)))
          this.book.set(e.number, entryOf(e));
    this.bookVersion = v.version;
    return true;
  }

  // The book's entry of a number (null when none).
  entry(number) {
    return this.book.get(number) || null;
  }
}

function entryOf(e) {
  return { number: e.number, name: text(e.owner_name), memos: [text(e.memo1), text(e.memo2), text(e.memo3)] };
}

// ---- What the page shows of the calls ----

// Calls whose number, name or memos hold the text, and only the unanswered
// ones when asked.
function filterCalls(calls, search, unansweredOnly) {
  const needle = search.trim().toLowerCase();
  return calls.filter(
    (c) =>
      (!unansweredOnly || (c.state === 2 && !c.answered)) &&
      (!needle || [c.number, c.name, ...c.memos].some((t) => t.toLowerCase().includes(needle))),
  );
}

// Answered and unanswered calls per hour of `day` ("yyyy/mm/dd") and per day
// of the 30 days up to it.
function callCounts(calls, day) {
  const hours = Array.from({ length: 24 }, (_, h) => ({ label: String(h), answered: 0, unanswered: 0 }));
  const days = [];
  const end = new Date(`${day.replaceAll('/', '-')}T00:00:00Z`);
  for (let i = 29; i >= 0; --i) {
    const d = new Date(end.getTime() - i * 86400000).toISOString().slice(0, 10).replaceAll('-', '/');
    days.push({ label: d.slice(5), day: d, answered: 0, unanswered: 0 });
  }
  const byDay = new Map(days.map((d) => [d.day, d]));
  for (const c of calls) {
    const field = c.answered ? 'answered' : 'unanswered';
    const d = c.date.slice(0, 10);
    if (d === day) hours[Number(c.date.slice(11, 13))][field]++;
    const slot = byDay.get(d);
    if (slot) slot[field]++;
  }
  return { hours, days };
}

const api = { DEFAULT_BASE, ANSWER_WAIT_MS, randomToken, deskName, subscriptions, requestTopic, parseTopic, readMessage, inflateItems, callOfRecord, callOfMessage, Office, filterCalls, callCounts };
// The page reads it as a global, Node's tests as a module.
if (typeof module === 'object') module.exports = api;
else root.TeloriaOffice = api;
})(globalThis);
