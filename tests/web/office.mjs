// An office for the page's tests and benchmark: a mosquitto started here
// (an MQTT listener, and a websockets one serving the build's web folder
// under the shipped access list), stations of the real program with the
// virtual adapter and histories of their own, and the book station.
import { spawn, execFileSync } from 'node:child_process';
import { once } from 'node:events';
import fs from 'node:fs';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';
import { createRequire } from 'node:module';
import { createInterface } from 'node:readline';

const build = process.env.TELORIA_BUILD_DIR;
const source = process.env.TELORIA_SOURCE_DIR;
// The page's own libraries, from its lock file.
const require = createRequire(path.join(source, 'web/package.json'));
const { chromium } = require('playwright-core');
const mqtt = require('mqtt');
const bin = path.join(build, 'bin');
export const BASE = 'teloria2/office';
export const BOOK_NAME = '山田商店';
export const KNOWN_NUMBER = '0312345678';

export async function waitFor(condition, what, timeoutMs = 20000) {
  const end = Date.now() + timeoutMs;
  for (;;) {
    const value = await condition();
    if (value) return value;
    if (Date.now() > end) throw new Error(`timed out waiting for ${what}`);
    await new Promise((r) => setTimeout(r, 50));
  }
}

async function freePort() {
  const server = net.createServer().listen(0, '127.0.0.1');
  await once(server, 'listening');
  const { port } = server.address();
  server.close();
  return port;
}

function sql(db, statements) {
  execFileSync('sqlite3', [db], { input: `BEGIN;${statements}COMMIT;` });
}

const pad = (n, w = 2) => String(n).padStart(w, '0');
export function dateText(d) {
  return `${d.getFullYear()}/${pad(d.getMonth() + 1)}/${pad(d.getDate())} ${pad(d.getHours())}:${pad(d.getMinutes())}:${pad(d.getSeconds())}.000`;
}

// `count` ended calls over the last 29 days, every fifth unanswered.
export function historyCalls(prefix, count) {
  const now = Date.now();
  const span = 29 * 86400000;
  return Array.from({ length: count }, (_, k) => {
    const i = k + 1;
    return {
      order: i,
      date: dateText(new Date(now - span + Math.floor((span * i) / (count + 1)))),
      number: `${prefix}${pad(i, 8)}`,
      answered: i % 5 !== 0,
    };
  });
}

export class Office {
  constructor() {
    this.folder = fs.mkdtempSync(path.join(os.tmpdir(), 'teloria2-web-'));
    this.users = { viewer: 'viewer-pw', desk1: 'desk1-pw', st1: 'st1-pw', st2: 'st2-pw' };
    this.children = [];
    this.programs = {};
    this.adapters = {};
  }

  async startBroker() {
    this.port ??= await freePort();
    this.wsPort ??= await freePort();
    const passwd = path.join(this.folder, 'passwd');
    if (!fs.existsSync(passwd)) {
      fs.writeFileSync(passwd, '', { mode: 0o600 });
      for (const [user, password] of Object.entries(this.users))
        execFileSync('mosquitto_passwd', ['-b', passwd, user, password]);
    }
    const conf = path.join(this.folder, 'mosquitto.conf');
    fs.writeFileSync(
      conf,
      [
        `user ${os.userInfo().username}`,
        'per_listener_settings false',
        'allow_anonymous false',
        `password_file ${passwd}`,
        `acl_file ${path.join(source, 'data/mosquitto-acl.conf')}`,
        `log_dest file ${path.join(this.folder, 'mosquitto.log')}`,
        `listener ${this.port} 127.0.0.1`,
        `listener ${this.wsPort} 127.0.0.1`,
        'protocol websockets',
        `http_dir ${path.join(build, 'web')}`,
        '',
      ].join('\n'),
    );
    this.broker = spawn('mosquitto', ['-c', conf], { stdio: 'ignore' });
    await waitFor(() => this.connects(), 'the broker');
  }

  async connects() {
    return new Promise((resolve) => {
      const socket = net.connect(this.wsPort, '127.0.0.1');
      socket.on('connect', () => resolve(socket.end() && true));
      socket.on('error', () => resolve(false));
    });
  }

  async stopBroker() {
    this.broker.kill('SIGTERM');
    await once(this.broker, 'exit');
  }

  get url() {
    return `http://127.0.0.1:${this.wsPort}/index.html?book=desk1`;
  }

  // A PC in a folder of its own, with these [Settings.Share] keys.
  startProgram(name, shareKeys, port = '/nonexistent', prepare = () => {}) {
    const folder = path.join(this.folder, name);
    fs.mkdirSync(path.join(folder, 'run'), { recursive: true, mode: 0o700 });
    const db = path.join(folder, 'teloria2.db3');
    if (!fs.existsSync(db)) {
      fs.copyFileSync(path.join(bin, 'teloria2.db3.init'), db);
      prepare(db);
    }
    fs.writeFileSync(
      path.join(folder, 'teloria2.ini'),
      `[Settings]\r\nMirelKT5Port=${port}\r\n[Settings.Share]\r\nHost=127.0.0.1\r\nPort=${this.port}\r\n` +
        `User=${name}\r\nPassword=${this.users[name]}\r\nStation=${name}\r\n${shareKeys}`,
    );
    const child = spawn(path.join(bin, 'teloria2'), ['-arun'], {
      env: {
        ...process.env,
        QT_QPA_PLATFORM: 'offscreen',
        TELORIA2_HOME: folder,
        XDG_RUNTIME_DIR: path.join(folder, 'run'),
        DBUS_SESSION_BUS_ADDRESS: 'unix:path=/nonexistent/teloria2-test-bus',
      },
      stdio: 'ignore',
    });
    this.children.push(child);
    this.programs[name] = { child, db };
    return child;
  }

  // The book station with the one known caller, and two stations with
  // adapters and `calls` calls each in their histories.
  async startStations(calls) {
    this.startProgram('desk1', 'Mode=1\r\n', '/nonexistent', (db) =>
      sql(db, `INSERT INTO phone_numbers (phone_number, owner_name, memo1) VALUES ('${KNOWN_NUMBER}', '${BOOK_NAME}', '取引先');`),
    );
    for (const [name, prefix] of [['st1', '03'], ['st2', '06']]) {
      const link = path.join(this.folder, `${name}-adapter`);
      this.adapters[name] = await this.startAdapter(link);
      this.startProgram(name, 'Mode=1\r\nBookStation=desk1\r\n', link, (db) =>
        sql(
          db,
          historyCalls(prefix, calls)
            .map(
              (c) =>
                'INSERT INTO incoming_numbers (incoming_order, incoming_date, phone_number, state, connected, offhook_seconds, onhook_seconds) ' +
                `VALUES (${c.order}, '${c.date}', '${c.number}', 2, ${c.answered ? 1 : 0}, ${c.answered ? 3 : 0}, ${c.answered ? 30 : 0});`,
            )
            .join(''),
        ),
      );
    }
  }

  async startAdapter(link) {
    const child = spawn(path.join(bin, 'teloria2-adapter-sim'), ['--link', link], { stdio: ['pipe', 'pipe', 'ignore'] });
    this.children.push(child);
    const lines = createInterface({ input: child.stdout });
    const waiting = [];
    lines.on('line', (line) => {
      for (const w of waiting.splice(0)) if (!w(line)) waiting.push(w);
    });
    const adapter = {
      run: (command) =>
        new Promise((resolve) => {
          waiting.push((line) => line === `ok ${command}` && (resolve(), true));
          child.stdin.write(command + '\n');
        }),
    };
    await new Promise((resolve) => waiting.push((line) => line.startsWith('ready ') && (resolve(), true)));
    return adapter;
  }

  // An MQTT client of the office (MQTT 5, so that refusals are told).
  async client(user) {
    const c = mqtt.connect(`mqtt://127.0.0.1:${this.port}`, { username: user, password: this.users[user], protocolVersion: 5, reconnectPeriod: 0 });
    await once(c, 'connect');
    return c;
  }

  async browser() {
    this.chromium = await chromium.launch({ executablePath: process.env.CHROMIUM || '/usr/bin/chromium', args: ['--no-sandbox'] });
    return this.chromium;
  }

  // A page logged in as the viewer, with its console errors and any request
  // it makes outside the broker.
  async openPage(viewport = { width: 1280, height: 900 }) {
    const page = await this.chromium.newPage({ viewport });
    page.problems = [];
    page.on('console', (m) => m.type() === 'error' && page.problems.push(m.text()));
    page.on('pageerror', (e) => page.problems.push(e.message));
    page.on('request', (r) => {
      if (!r.url().startsWith(`http://127.0.0.1:${this.wsPort}/`) && !r.url().startsWith(`ws://127.0.0.1:${this.wsPort}/`))
        page.problems.push(`external request ${r.url()}`);
    });
    await page.goto(this.url);
    await page.fill('#user', 'viewer');
    await page.fill('#password', this.users.viewer);
    await page.click('button[type=submit]');
    return page;
  }

  async stop() {
    await this.chromium?.close();
    for (const child of this.children) if (child.exitCode === null) child.kill('SIGTERM');
    for (const child of this.children) if (child.exitCode === null) await once(child, 'exit');
    if (this.broker?.exitCode === null) await this.stopBroker();
    fs.rmSync(this.folder, { recursive: true, force: true });
  }
}
