// The page: log-in, the connection to the broker that serves it, and the
// four views over what office.js knows.
(function () {
'use strict';
const { DEFAULT_BASE, Office, callCounts, deskName, filterCalls, inflateItems, randomToken, readMessage, subscriptions } = globalThis.TeloriaOffice;
const { barChart } = globalThis.TeloriaChart;
const { mqtt } = globalThis;

const $ = (id) => document.getElementById(id);
const CREDENTIALS = 'teloria2.login'; // sessionStorage: this tab only
const PAGE_ROWS = 500;

let client = null;
let office = null;
let everConnected = false;
let shownRows = PAGE_ROWS;
let dirty = false;
// While pages of history keep coming, the calls list is rebuilt at most this
// often: laying out its rows after every page kept the page's timers (and
// with them the answers, see nudge) waiting for a second and more.
const LOADING_REDRAW_MS = 500;
let listDrawnAt = -Infinity;

function setState(message, kind = '') {
  $('state').textContent = message;
  $('state').className = kind;
}

function el(tag, className, content) {
  const e = document.createElement(tag);
  if (className) e.className = className;
  if (content !== undefined) e.textContent = content;
  return e;
}

// ---- Log-in ----

function showLogin(error = '') {
  $('login').hidden = false;
  $('main').hidden = true;
  $('logout').hidden = true;
  $('loginError').textContent = error;
  const saved = JSON.parse(sessionStorage.getItem(CREDENTIALS) || 'null');
  const query = new URLSearchParams(location.search);
  $('user').value = saved?.user ?? '';
  $('bookStation').value = saved?.bookStation ?? query.get('book') ?? '';
  $('password').value = '';
  (saved?.user ? $('password') : $('user')).focus();
}

$('login').addEventListener('submit', (event) => {
  event.preventDefault();
  const login = {
    user: $('user').value.trim(),
    password: $('password').value,
    bookStation: $('bookStation').value.trim(),
    token: randomToken(),
  };
  sessionStorage.setItem(CREDENTIALS, JSON.stringify(login));
  start(login);
});

$('logout').addEventListener('click', () => {
  sessionStorage.removeItem(CREDENTIALS);
  stop();
  setState('');
  showLogin();
});

function stop() {
  if (client) client.end(true);
  client = null;
}

// ---- The connection ----

function brokerUrl() {
  return `${location.protocol === 'https:' ? 'wss' : 'ws'}://${location.host}/mqtt`;
}

// Debian's mosquitto 2.0.11 writes a large message to a websocket in pieces,
// the next one only when its loop turns again, which traffic from that
// socket hastens: a history page took a second. While an answer is due, a
// tiny packet every few milliseconds keeps it coming.
let nudging = null;
function nudge() {
  if (nudging || !office?.waiting(Date.now())) return;
  nudging = setInterval(() => {
    if (client?.connected && office.waiting(Date.now())) client.unsubscribe('teloria2-web/nudge');
    else nudging = clearInterval(nudging) ?? null;
  }, 5);
}

function publish(requests) {
  for (const r of requests) client?.publish(r.topic, r.payload, { qos: 1 });
  nudge();
}

function start(login) {
  stop();
  const base = new URLSearchParams(location.search).get('base') || DEFAULT_BASE;
  const desk = deskName(login.user, login.token);
  office = new Office({ base, desk, bookStation: login.bookStation });
  everConnected = false;
  $('login').hidden = true;
  $('main').hidden = false;
  $('logout').hidden = false;
  setState('MQTTブローカーに接続しています…');
  const c = mqtt.connect(brokerUrl(), {
    username: login.user || undefined,
    password: login.password || undefined,
    clientId: desk,
    clean: true,
    reconnectPeriod: 1000,
    connectTimeout: 5000,
    timerVariant: 'native',
  });
  client = c;
  c.on('connect', () => {
    everConnected = true;
    setState('接続しました');
    // The broker takes the subscription before the requests that follow it,
    // so an answer cannot come before the page listens.
    c.subscribe(subscriptions(base, desk), { qos: 1 });
    publish(office.connect(Date.now()));
    render();
  });
  // One message after another in the order they came: what follows a
  // deflated answer waits while it inflates.
  let taking = Promise.resolve();
  c.on('message', (topic, payload) => {
    taking = taking
      .then(async () => {
        const m = await inflateItems(readMessage(payload));
        if (client !== c) return; // logged out meanwhile
        publish(office.takeMessage(topic, m, Date.now()));
      })
      .catch((error) => console.warn('読み取れないメッセージを無視しました。', topic, error))
      .finally(() => (dirty = true));
  });
  c.on('error', (error) => {
    // 4/5: MQTT 3.1.1's bad user name or password, not authorised.
    if (error.code === 4 || error.code === 5 || error.code === 134 || error.code === 135) {
      stop();
      sessionStorage.removeItem(CREDENTIALS);
      setState('');
      showLogin('ユーザー名またはパスワードが違います。');
    }
  });
  c.on('close', () => {
    if (client !== c) return;
    office.disconnect();
    setState(
      everConnected
        ? 'MQTTブローカーとの接続が切れました。再接続しています…'
        : 'MQTTブローカーに接続できません。再試行しています…',
      'error',
    );
    render();
  });
}

// ---- Views ----

const tabs = ['now', 'calls', 'book', 'chart'];

function selectTab(name, focus = false) {
  for (const t of tabs) {
    const tab = $(`tab-${t}`);
    tab.setAttribute('aria-selected', String(t === name));
    tab.tabIndex = t === name ? 0 : -1;
    $(t).hidden = t !== name;
  }
  if (focus) $(`tab-${name}`).focus();
  history.replaceState(null, '', `#${name}`);
  render();
}

for (const t of tabs) {
  $(`tab-${t}`).addEventListener('click', () => selectTab(t));
  $(`tab-${t}`).addEventListener('keydown', (event) => {
    const step = { ArrowRight: 1, ArrowLeft: -1 }[event.key];
    if (step) selectTab(tabs[(tabs.indexOf(t) + step + tabs.length) % tabs.length], true);
  });
}

function shown(id) {
  return !$(id).hidden;
}

function clock(ms) {
  const s = Math.max(0, Math.floor(ms / 1000));
  return `${Math.floor(s / 60)}:${String(s % 60).padStart(2, '0')}`;
}

function seconds(s) {
  return s >= 60 ? `${Math.floor(s / 60)}分${s % 60}秒` : `${s}秒`;
}

function renderNow(now) {
  const list = $('stations');
  list.replaceChildren();
  const stations = [...office.stations.values()].sort((a, b) => a.name.localeCompare(b.name));
  $('noStations').hidden = stations.length > 0;
  for (const s of stations) {
    const li = el('li', s.online ? '' : 'offline');
    li.dataset.station = s.name;
    li.append(el('div', 'station', s.name));
    li.append(
      el('div', 'flags', `${s.online ? 'オンライン' : 'オフライン'}・アダプター${s.adapter ? '接続中' : '未接続'}`),
    );
    if (s.live) {
      const l = s.live;
      const entry = office.entry(l.number);
      li.className = l.talkingSince ? 'talking' : 'ringing';
      const caller = el('div', 'caller');
      caller.append(
        el('div', 'phase', l.talkingSince ? `通話中 ${clock(now - l.talkingSince)}` : `着信中 ${clock(now - l.since)}`),
        el('div', 'number', l.number || '番号待ち'),
        el('div', 'name', l.name || entry?.name || ''),
        el('div', 'memos', (l.name ? l.memos : entry?.memos ?? []).filter(Boolean).join(' / ')),
      );
      li.append(caller);
    }
    list.append(li);
  }
}

function callItem(c) {
  const li = el('li');
  const outcome = c.state !== 2 ? ['', c.state === 1 ? '通話中' : '着信中'] : c.answered ? ['answered', '応答'] : ['unanswered', '未応答'];
  li.append(
    el('span', 'when', c.date.slice(0, 19)),
    el('span', 'where', c.station),
    el('span', 'number', c.number || '番号なし'),
    el('span', 'who', [c.name, c.memos.filter(Boolean).join(' / ')].filter(Boolean).join('　')),
    el('span', `outcome ${outcome[0]}`, outcome[1]),
    el('span', 'times', `呼出 ${seconds(c.ringSeconds)}・通話 ${seconds(c.talkSeconds)}`),
  );
  return li;
}

function renderCalls(now) {
  const calls = filterCalls(office.calls(), $('callSearch').value, $('unanswered').checked);
  $('callCount').textContent = `${calls.length}件`;
  $('callCount').dataset.count = calls.length;
  if (office.waiting(now) && now - listDrawnAt < LOADING_REDRAW_MS) {
    dirty = true; // drawn once the pages stop or the time has come
    return;
  }
  listDrawnAt = now;
  $('callList').replaceChildren(...calls.slice(0, shownRows).map(callItem));
  $('moreCalls').hidden = calls.length <= shownRows;
}

function renderBook() {
  const needle = $('bookSearch').value.trim().toLowerCase();
  const entries = [...office.book.values()]
    .filter((e) => !needle || [e.number, e.name, ...e.memos].some((t) => t.toLowerCase().includes(needle)))
    .sort((a, b) => (a.number < b.number ? -1 : 1));
  $('bookCount').textContent = office.bookStation
    ? `${entries.length}件`
    : '電話帳の端末が設定されていません。ログインし直して入力して下さい。';
  $('bookList').replaceChildren(
    ...entries.slice(0, PAGE_ROWS).map((e) => {
      const li = el('li');
      li.append(el('span', 'number', e.number), el('span', 'who', e.name), el('span', 'memos', e.memos.filter(Boolean).join(' / ')));
      return li;
    }),
  );
}

function today() {
  const d = new Date();
  const pad = (n) => String(n).padStart(2, '0');
  return `${d.getFullYear()}/${pad(d.getMonth() + 1)}/${pad(d.getDate())}`;
}

function renderChart() {
  const { hours, days } = callCounts(office.calls(), today());
  $('hourChart').replaceChildren(barChart(hours, '今日の時間別の着信'));
  $('dayChart').replaceChildren(barChart(days, '30日間の日別の着信'));
}

function render() {
  dirty = false;
  if (!office) return;
  const now = Date.now();
  if (shown('now')) renderNow(now);
  if (shown('calls')) renderCalls(now);
  if (shown('book')) renderBook();
  if (shown('chart')) renderChart();
}

for (const id of ['callSearch', 'unanswered', 'bookSearch'])
  $(id).addEventListener('input', () => {
    shownRows = PAGE_ROWS;
    listDrawnAt = -Infinity; // what the user asked for is drawn at once
    render();
  });
$('moreCalls').addEventListener('click', () => {
  shownRows += PAGE_ROWS;
  listDrawnAt = -Infinity;
  render();
});

// Messages mark the views stale; they are drawn at most once a frame, and
// the 今 view's clocks once a second.
function frame() {
  if (dirty) render();
  requestAnimationFrame(frame);
}
requestAnimationFrame(frame);
setInterval(() => {
  if (client?.connected) publish(office.tick(Date.now()));
  if (shown('now')) dirty = true;
}, 1000);

const first = location.hash.slice(1);
if (tabs.includes(first)) selectTab(first);
const saved = JSON.parse(sessionStorage.getItem(CREDENTIALS) || 'null');
if (saved) start(saved);
else showLogin();
})();
