// The bench page in Chromium: a technician with two emulated calibrators, a quality manager
// issuing a certificate, sign-in, CSRF and roles beyond loopback, and hostile texts that stay
// text. Every wait is for a state of the page or of a process, never for a time.
'use strict';
const { chromium } = require('playwright-core');
const { spawn, execFileSync } = require('child_process');
const assert = require('assert');
const fs = require('fs');
const net = require('net');
const os = require('os');
const path = require('path');

const KVTLNK = process.env.KVTLNK;
const KVTSIM = process.env.KVTSIM;
const EXAMPLE = process.env.KVTLNK_EXAMPLE;
const SHOTS = process.env.KVTLNK_SCREENSHOTS || '';
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'kvtweb-'));
const archive = path.join(work, 'bench.db');
const children = [];

// What a tag text and a page may hold that must stay text.
const HOSTILE_TAG = '<b onclick=alert(1)>T&amp;</b>';

function stop(child, signal = 'SIGTERM') {
  if (child.exitCode === null && child.signalCode === null) child.kill(signal);
}
process.on('exit', () => {
  for (const c of children) stop(c, 'SIGKILL');
  fs.rmSync(work, { recursive: true, force: true });
});

function start(program, args) {
  const child = spawn(program, args, { stdio: ['ignore', 'pipe', 'pipe'] });
  children.push(child);
  child.output = '';
  child.stdout.on('data', (d) => { child.output += d; });
  child.stderr.on('data', (d) => { child.output += d; });
  child.ended = new Promise((resolve) => child.on('exit', resolve));
  return child;
}

// Resolves once the child's output holds the text; rejects when it ends first.
function outputHolds(child, text) {
  return new Promise((resolve, reject) => {
    const check = () => {
      if (child.output.includes(text)) resolve();
    };
    child.stdout.on('data', check);
    child.stderr.on('data', check);
    child.on('exit', () => reject(new Error('ended before saying "' + text + '":\n' + child.output)));
    check();
  });
}

function kvtlnk(args, input) {
  return execFileSync(KVTLNK, ['-q', ...args], { input, encoding: 'utf8' });
}

function freePort() {
  return new Promise((resolve) => {
    const server = net.createServer().listen(0, '127.0.0.1', () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
  });
}

// An emulated calibrator on a pty, its results made by a procedure run.
async function calibrator(name, procedure, extra = []) {
  const link = path.join(work, name);
  const child = start(KVTSIM, ['--run', '--link', link, ...extra]);
  await outputHolds(child, '/dev/');
  kvtlnk(['--port', link, 'download', '--discard-results', procedure]);
  return { child, link };
}

async function serve(lab, listen, extra = []) {
  const port = await freePort();
  const child = start(KVTLNK, ['--lab', lab, '--archive', archive, 'serve', '--listen',
    listen + ':' + port, ...extra]);
  await outputHolds(child, 'serving the bench page');
  return { child, url: 'http://127.0.0.1:' + port };
}

function labFile(name, extra = '') {
  const file = path.join(work, name);
  fs.writeFileSync(file, fs.readFileSync(process.env.KVTLNK_LAB_SAMPLE, 'utf8') + extra);
  return file;
}

function stationId(port) {
  return 'station-' + Buffer.from(port).toString('hex');
}

async function shot(page, name) {
  if (SHOTS) await page.screenshot({ path: path.join(SHOTS, name + '.png'), fullPage: true });
}

// A description with a problem in each part: every one must be named.
const BROKEN = JSON.stringify({
  strategies: [{ name: 'a name far longer than twenty characters', points: [0, 2] }],
  setups: { bad: { input: { function: 'nonsense', scale: [0, 1] }, output: { function: 'dcv', scale: [1, 1] } } },
  tasks: [{ name: 'T', steps: [{ test: { setup: 'missing', strategy: '5 ↑↓' } }] }],
});

// Keeps every station state the server publishes, as the page hears it, in window.heard; returns
// once the states of the moment are there.
async function hear(page) {
  await page.evaluate(() => new Promise((resolve) => {
    window.heard = [];
    new EventSource('/events').addEventListener('station', (e) => {
      window.heard.push(JSON.parse(e.data));
      if (window.heard.length === document.querySelectorAll('section.station').length) resolve();
    });
  }));
}

const tests = [];
const test = (name, fn) => tests.push({ name, fn });
const state = {};

test('technician: two calibrators upload at once, with progress, and a broken description is refused with every problem', async ({ browser }) => {
  const hostile = JSON.parse(fs.readFileSync(EXAMPLE, 'utf8'));
  hostile.tasks[0].steps[2].test.texts = [HOSTILE_TAG, '0-10 bar'];
  const hostileFile = path.join(work, 'hostile.json');
  fs.writeFileSync(hostileFile, JSON.stringify(hostile));
  const a = await calibrator('k27a', EXAMPLE);
  const b = await calibrator('k27b', hostileFile);
  state.lab = labFile('lab.toml');
  const server = await serve(state.lab, '127.0.0.1', ['--calibrator', a.link, '--calibrator', b.link]);
  Object.assign(state, { server, a, b });

  const page = await browser.newPage();
  await page.goto(server.url + '/calibrators');
  await hear(page);
  const A = page.locator('#' + stationId(a.link));
  const B = page.locator('#' + stationId(b.link));
  await A.getByRole('button', { name: 'Upload into the archive' }).click();
  await B.getByRole('button', { name: 'Upload into the archive' }).click();
  for (const s of [A, B]) {
    await s.locator('[data-field="message"]', { hasText: 'upload: done' }).waitFor();
    assert.match(await s.locator('[data-field="figures"]').textContent(), /item \d+ of \d+/);
  }
  const heard = await page.evaluate(() => window.heard);
  assert(heard.some((s) => s.status === 'busy' && s.progress && s.progress.what === 'upload'),
    'the upload\'s progress was published while it ran');
  await shot(page, 'calibrators');

  // The new calibrations, from the link the upload left.
  await A.getByRole('link', { name: 'PT-101' }).click();
  await page.locator('h1', { hasText: 'PT-101' }).waitFor();
  assert.strictEqual(await page.locator('table.list a[href^="/calibrations/"]').count(), 1);

  await page.goto(server.url + '/calibrators');
  await A.locator('input[type=file]').setInputFiles({ name: 'broken.json', mimeType: 'application/json', buffer: Buffer.from(BROKEN) });
  await A.getByRole('button', { name: 'Download' }).click();
  await A.locator('[data-field="message"]', { hasText: 'download: failed' }).waitFor();
  const problems = await A.locator('[data-field="problems"] li').allTextContents();
  assert(problems.length >= 4, 'every problem is listed: ' + problems.join(' | '));
  for (const field of ['strategies[0].name', 'setups.bad.input.function', 'tasks[0].steps[0].test.setup']) {
    assert(problems.some((p) => p.startsWith(field)), field + ' among ' + problems.join(' | '));
  }
  state.page = page;
});

test('a worker that crashes and an adapter that is unplugged are said on the page, and the server goes on', async () => {
  const { page, server, a, b } = state;
  const A = page.locator('#' + stationId(a.link));
  const B = page.locator('#' + stationId(b.link));
  await hear(page);
  const pid = (await page.evaluate(() => window.heard)).filter((s) => s.port.endsWith('k27a') && s.pid).pop().pid;
  process.kill(pid, 'SIGKILL');
  await A.locator('[data-field="status"]', { hasText: 'crashed' }).waitFor();
  assert.match(await A.locator('[data-field="note"]').textContent(), /killed by signal 9/);
  await A.getByRole('button', { name: 'Identify' }).click();
  await A.locator('[data-field="message"]', { hasText: 'identify: done' }).waitFor();

  stop(b.child);
  await b.child.ended;
  await B.getByRole('button', { name: 'Identify' }).click();
  await B.locator('[data-field="status"]', { hasText: 'unplugged' }).waitFor();
  assert.match(await B.locator('[data-field="note"]').textContent(), /is gone/);
  const reply = await page.request.get(server.url + '/instruments');
  assert.strictEqual(reply.status(), 200);
});

test('a hostile tag stays text on every page', async ({ browser }) => {
  const page = await browser.newPage();
  page.on('dialog', (d) => { throw new Error('a dialog opened: ' + d.message()); });
  await page.goto(state.server.url + '/instruments');
  await page.getByRole('link', { name: HOSTILE_TAG }).click();
  await page.locator('h1', { hasText: HOSTILE_TAG }).waitFor();
  await page.locator('table.list a[href^="/calibrations/"]').first().click();
  await page.locator('h1', { hasText: HOSTILE_TAG }).waitFor();
  for (const url of ['/instruments', '/due', '/calibrators']) {
    await page.goto(state.server.url + url);
    assert.strictEqual(await page.locator('b[onclick]').count(), 0, url);
  }
  await page.close();
});

test('quality manager: a due instrument, its calibration, a certificate issued, its PDF, and amended', async ({ browser }) => {
  const page = await browser.newPage();
  const url = state.server.url;
  await page.goto(url + '/instrument?tag=PT-101');
  await page.locator('input[name=interval]').fill('1d');
  await page.getByRole('button', { name: 'Set interval' }).click();
  await page.getByText('1 day', { exact: true }).waitFor();
  await page.goto(url + '/due');
  await shot(page, 'due');
  await page.locator('section.board', { hasText: 'Due this week' }).getByRole('link', { name: 'PT-101' }).click();
  await page.locator('h1', { hasText: 'PT-101' }).waitFor();
  await shot(page, 'instrument');
  await page.locator('table.list a[href^="/calibrations/"]').first().click();
  await page.locator('h1', { hasText: 'Calibration #' }).waitFor();
  await page.locator('input[name=ambient]').fill('22.5');
  await page.locator('input[name=humidity]').fill('41');
  await page.getByRole('button', { name: 'Issue the certificate' }).click();
  await page.getByText(/Certificate No\. \d+ is issued/).waitFor();
  await shot(page, 'calibration');
  const pdf = await page.request.get(await page.getByRole('link', { name: 'PDF' }).getAttribute('href', {}).then((h) => new URL(h, url).href));
  assert.strictEqual(pdf.headers()['content-type'], 'application/pdf');
  assert.strictEqual((await pdf.body()).subarray(0, 5).toString(), '%PDF-');
  const calibration = page.url();
  state.certified = calibration;
  await page.getByRole('link', { name: 'View the certificate' }).click();
  await page.getByText('Calibration certificate').first().waitFor();
  // Amended: a new number that names the one it replaces and why; the first kept, marked.
  await page.goto(calibration);
  const first = Number((await page.getByText(/Certificate No\. \d+ is issued/).textContent()).match(/\d+/)[0]);
  await page.locator('input[name=reason]').fill('the humidity was mistyped');
  await page.locator('input[name=humidity]').fill('45');
  await page.getByRole('button', { name: 'Replace it with a corrected certificate' }).click();
  await page.getByText(`Certificate No. ${first + 1} is issued`).waitFor();
  await page.getByText(`replacing No. ${first}: the humidity was mistyped`).waitFor();
  await page.locator('li.replaced', { hasText: `No. ${first},` }).waitFor();
  await page.goto(url + '/instruments');
  await shot(page, 'instruments');
  await page.close();
});

test('quality pages: the audit trail verified, a standard\'s calibrations, a DCC as the command line writes it', async ({ browser }) => {
  const page = await browser.newPage();
  page.on('dialog', (d) => { throw new Error('a dialog opened: ' + d.message()); });
  const url = state.server.url;
  await page.goto(url + '/instruments');
  await page.getByRole('link', { name: 'Audit trail' }).click();
  await page.locator('h1', { hasText: 'Audit trail' }).waitFor();
  assert.ok(await page.locator('table.audit tr').count() > 1, 'the changes so far are listed');
  await page.getByRole('button', { name: 'Verify the archive' }).click();
  await page.locator('p.verdict', { hasText: /^whole:/ }).waitFor();
  await shot(page, 'audit');
  assert.strictEqual(await page.locator('b[onclick]').count(), 0, 'audit');

  await page.goto(url + '/standards');
  await page.locator('tr', { hasText: 'SN270001' }).getByRole('link', { name: 'calibrations' }).click();
  await page.locator('h1', { hasText: 'Standard SN270001' }).waitFor();
  await page.getByText(/relied on it/).waitFor();
  assert.ok(await page.locator('table.list a[href^="/calibrations/"]').count() > 0, 'the calibrations done with it');
  await shot(page, 'standard');
  assert.strictEqual(await page.locator('b[onclick]').count(), 0, 'traceability');
  const bad = await page.request.get(url + '/standards/SN270001?since=yesterday');
  assert.strictEqual(bad.status(), 400);

  // The DCC of the certificate issued above: the bytes the command line writes for it.
  await page.goto(state.certified);
  const href = await page.getByRole('link', { name: 'DCC', exact: true }).getAttribute('href');
  const dcc = await page.request.get(new URL(href, url).href);
  assert.strictEqual(dcc.status(), 200, await dcc.text());
  assert.match(dcc.headers()['content-type'], /^application\/xml/);
  assert.match(dcc.headers()['content-disposition'], /^attachment; filename=".+\.xml"$/);
  const id = state.certified.match(/calibrations\/(\d+)/)[1];
  const file = path.join(work, 'cli-dcc.xml');
  kvtlnk(['--lab', state.lab, '--archive', archive, 'certificate', id, '--out', path.join(work, 'again.html'), '--dcc', file]);
  assert.ok((await dcc.body()).equals(fs.readFileSync(file)), 'the page\'s DCC and the command line\'s differ');
  await page.close();
});

test('beyond loopback: no users, no server; sign-in, CSRF and roles', async ({ browser }) => {
  const bare = start(KVTLNK, ['--lab', labFile('nousers.toml'), '--archive', archive, 'serve', '--listen', '0.0.0.0:' + await freePort()]);
  assert.notStrictEqual(await bare.ended, 0);
  assert.match(bare.output, /needs users/);

  const lab = labFile('users.toml');
  kvtlnk(['--lab', lab, 'lab', 'passwd', 'tess', '--role', 'technician'], 'tess-password\n');
  kvtlnk(['--lab', lab, 'lab', 'passwd', 'quinn', '--role', 'quality manager'], 'quinn-password\n');
  const server = await serve(lab, '0.0.0.0');
  const signIn = async (name, password) => {
    const context = await browser.newContext();
    const page = await context.newPage();
    await page.goto(server.url + '/calibrations/1');
    await page.locator('h1', { hasText: 'Sign in' }).waitFor();
    await page.locator('input[name=name]').fill(name);
    await page.locator('input[name=password]').fill(password);
    await page.getByRole('button', { name: 'Sign in' }).click();
    return { context, page };
  };

  const wrong = await signIn('tess', 'not-her-password');
  await wrong.page.getByText('the name or the password is not right').waitFor();
  await wrong.context.close();

  const tess = await signIn('tess', 'tess-password');
  await tess.page.locator('h1', { hasText: 'Calibration #1' }).waitFor();
  const [cookie] = await tess.context.cookies();
  assert.strictEqual(cookie.httpOnly, true);
  assert.strictEqual(cookie.sameSite, 'Strict');
  assert.strictEqual(await tess.page.getByRole('button', { name: 'Issue the certificate' }).count(), 0);
  const csrf = await tess.page.locator('meta[name=csrf-token]').getAttribute('content');
  const asTess = (headers) => tess.page.request.post(server.url + '/calibrations/2/issue', { headers: { Accept: 'application/json', ...headers }, form: {} });
  assert.strictEqual((await asTess({ 'X-CSRF-Token': csrf })).status(), 403, 'a technician does not issue');
  assert.match(await (await asTess({ 'X-CSRF-Token': csrf })).text(), /role \(technician\)/);
  assert.strictEqual((await asTess({})).status(), 403, 'no token');
  assert.strictEqual((await asTess({ 'X-CSRF-Token': 'f'.repeat(64) })).status(), 403, 'a wrong token');
  await tess.page.goto(server.url + '/audit');
  assert.strictEqual(await tess.page.getByRole('button', { name: 'Verify the archive' }).count(), 0);
  assert.strictEqual((await tess.page.request.get(server.url + '/audit/verify')).status(), 403, 'a technician does not verify');
  await tess.context.close();

  const quinn = await signIn('quinn', 'quinn-password');
  await quinn.page.locator('h1', { hasText: 'Calibration #1' }).waitFor();
  const qcsrf = await quinn.page.locator('meta[name=csrf-token]').getAttribute('content');
  const foreign = await quinn.page.request.post(server.url + '/calibrations/2/issue', { headers: { Accept: 'application/json', 'X-CSRF-Token': qcsrf, Origin: 'http://elsewhere.example' }, form: {} });
  assert.strictEqual(foreign.status(), 403, 'a request from another site');
  await quinn.page.goto(server.url + '/audit');
  await quinn.page.getByRole('button', { name: 'Verify the archive' }).click();
  await quinn.page.locator('p.verdict', { hasText: /^whole:/ }).waitFor();
  // Issued through both servers at once, the certificate gets one number.
  const issue = (s, page, token) => page.request.post(s.url + '/calibrations/2/issue', { headers: { Accept: 'application/json', 'X-CSRF-Token': token }, form: {} });
  const local = await browser.newPage();
  await local.goto(state.server.url + '/calibrations/2');
  const ltoken = await local.locator('meta[name=csrf-token]').getAttribute('content');
  const replies = await Promise.all([issue(server, quinn.page, qcsrf), issue(state.server, local, ltoken)]);
  const numbers = await Promise.all(replies.map(async (r) => { assert.strictEqual(r.status(), 200); return (await r.json()).message; }));
  assert.strictEqual(numbers[0], numbers[1]);
  await quinn.page.goto(server.url + '/instrument?tag=PT-101');
  await quinn.page.getByRole('button', { name: 'Sign out' }).click();
  await quinn.page.locator('h1', { hasText: 'Sign in' }).waitFor();
  await quinn.context.close();
  await local.close();
});

test('filters by customer and a suspect clock; a suspect date confirmed from the calibration page, with why', async ({ browser }) => {
  // A calibrator whose clock runs a month ahead: its results are dated after their upload.
  const c = await calibrator('k27c', EXAMPLE, ['--clock-offset', '30d']);
  kvtlnk(['--lab', state.lab, '--archive', archive, '--port', c.link, 'upload', '--store']);
  const page = await browser.newPage();
  const url = state.server.url;
  await page.goto(url + '/instruments');
  await page.locator('select[name=status]').selectOption('suspect');
  await page.waitForURL(/status=suspect/);
  assert.strictEqual(await page.locator('#instruments').getByRole('link', { name: 'PT-101' }).count(), 1);
  await page.locator('select[name=customer]').selectOption('Harbour Water');
  await page.waitForURL(/customer=Harbour/);
  assert.strictEqual(await page.locator('#instruments').getByRole('link', { name: HOSTILE_TAG }).count(), 0);
  await page.getByRole('link', { name: 'PT-101' }).click();
  await page.locator('h1', { hasText: 'PT-101' }).waitFor();
  const identity = await page.locator('#identity').textContent();
  assert.match(identity, /Acme/);
  assert.match(identity, /Harbour Water/);
  await page.locator('table.list tr', { hasText: 'calibrator clock suspect' }).getByRole('link').first().click();
  await page.locator('h1', { hasText: 'Calibration #' }).waitFor();
  // Without a reason the server refuses it too, whatever the browser lets through.
  const calibration = page.url();
  const token = await page.locator('meta[name=csrf-token]').getAttribute('content');
  const bare = await page.request.post(calibration + '/confirm-date', { headers: { Accept: 'application/json', 'X-CSRF-Token': token }, form: { date: '2020-01-02', reason: ' ' } });
  assert.strictEqual(bare.status(), 400);
  const day = new Date(Date.now() - 2 * 86400000).toISOString().slice(0, 10);
  await page.locator('input[name=date]').fill(day);
  await page.locator('input[name=reason]').first().fill('the job sheet is dated so');
  await page.getByRole('button', { name: 'Confirm the date' }).click();
  await page.getByText('confirmed ' + day + ' by').waitFor();
  await page.getByRole('button', { name: 'Correct the date' }).waitFor();
  await page.goto(url + '/instruments?status=suspect');
  assert.strictEqual(await page.locator('#instruments').getByRole('link', { name: 'PT-101' }).count(), 0);
  assert.match(state.server.child.output, new RegExp('done on ' + day + ', confirmed by .*: the job sheet is dated so'));
  await page.close();
});

test('the lab file going bad: the server goes on with the last good one, says so on every page, and takes the fixed one', async ({ browser }) => {
  const page = await browser.newPage();
  const url = state.server.url;
  const good = fs.readFileSync(state.lab, 'utf8');
  fs.writeFileSync(state.lab, good + '\n[lab\n');
  for (const where of ['/instruments', '/instrument?tag=PT-101', '/standards', '/calibrators']) {
    const reply = await page.goto(url + where);
    assert.strictEqual(reply.status(), 200, where);
    assert.match(await page.locator('p.notice').textContent(), /cannot be used .*not TOML/, where);
  }
  fs.writeFileSync(state.lab, good);
  await page.goto(url + '/instruments');
  assert.strictEqual(await page.locator('p.notice').count(), 0);
  assert.strictEqual(state.server.child.exitCode, null, 'the server runs');
  await page.close();
});

(async () => {
  const browser = await chromium.launch({ executablePath: process.env.KVTLNK_CHROMIUM, args: ['--no-sandbox'] });
  let failed = 0;
  for (const t of tests) {
    try {
      await t.fn({ browser });
      console.log('ok     ' + t.name);
    } catch (e) {
      failed++;
      console.log('FAILED ' + t.name + '\n' + (e.stack || e));
      if (state.server) console.log('server said:\n' + state.server.child.output);
    }
  }
  await browser.close();
  console.log(failed ? failed + ' of ' + tests.length + ' failed' : 'all ' + tests.length + ' passed');
  process.exit(failed ? 1 : 0);
})().catch((e) => { console.error(e); process.exit(1); });
