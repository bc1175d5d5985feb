// The web UI program in a real browser (Debian's chromium, headless, driven by playwright-core)
// against the real engine, websim and gatesim on free loopback ports: the engine launches
// parley-ui as its UI program; the user logs in, writes a message to three typed numbers, sends
// it, stops a long send, reads the journal's jobs, switches to English and quits. Every send is
// checked in gatesim's record, not only on the screen. Screenshots of each step go to --out.
//
//   node ui/browser/journey.js --bin-dir build --out build/ui-screens
'use strict';

const { chromium } = require('playwright-core');
const { spawn } = require('node:child_process');
const fs = require('node:fs');
const net = require('node:net');
const os = require('node:os');
const path = require('node:path');

function option(name, fallback) {
  const i = process.argv.indexOf(name);
  return i > 0 ? process.argv[i + 1] : fallback;
}
const binDir = path.resolve(option('--bin-dir', 'build'));
const outDir = path.resolve(option('--out', path.join(binDir, 'ui-screens')));
const browserPath = option('--browser', '/usr/bin/chromium');
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'parley-ui-journey-'));
const children = [];
const { execFileSync } = require('node:child_process');

function start(program, args, log, cwd) {
  const fd = fs.openSync(log, 'a');
  const env = { ...process.env };
  delete env.DISPLAY;
  delete env.WAYLAND_DISPLAY;
  const child = spawn(program, args, { cwd: cwd || work, stdio: ['ignore', fd, fd], env });
  children.push(child);
  return child;
}

async function waitFor(what, test, ms = 15000) {
  const until = Date.now() + ms;
  for (;;) {
    const value = test();
    if (value) return value;
    if (Date.now() > until) throw new Error(`timed out waiting for ${what}`);
    await new Promise((r) => setTimeout(r, 50));
  }
}

function read(file) {
  try { return fs.readFileSync(file, 'utf8'); } catch { return ''; }
}

async function freePort() {
  return new Promise((resolve) => {
    const server = net.createServer().listen(0, '127.0.0.1', () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
  });
}

// gatesim's record: one JSON object a line; texts are CP949 bytes, one character a byte.
function gateJobs(file) {
  const decoder = new TextDecoder('euc-kr');
  // A line still being written is not a job yet.
  const lines = read(file).split('\n');
  lines.pop();
  return lines.filter(Boolean).map((line) => {
    const job = JSON.parse(line);
    for (const m of job.messages) {
      m.text = decoder.decode(Uint8Array.from(m.text || '', (c) => c.charCodeAt(0)));
    }
    return job;
  });
}

// Waits until the element's text is `text` (the page's policy forbids evaluating scripts in it,
// so this asks for the text, as a user reads it).
async function waitForText(page, selector, test, ms = 15000) {
  return waitForAsync(`${selector}`, async () => test((await page.textContent(selector)) || ''), ms);
}

async function waitForAsync(what, test, ms = 15000) {
  const until = Date.now() + ms;
  for (;;) {
    if (await test()) return true;
    if (Date.now() > until) throw new Error(`timed out waiting for ${what}`);
    await new Promise((r) => setTimeout(r, 50));
  }
}

function check(ok, what) {
  if (!ok) throw new Error(`check failed: ${what}`);
  console.log(`ok - ${what}`);
}

async function main() {
  fs.mkdirSync(outDir, { recursive: true });
  // Sample data (contacts, a picture) and an address book with one group, as the sandbox makes.
  const data = path.join(work, 'data');
  const rows = 300;
  execFileSync(path.join(binDir, 'parley-sandbox-data'), [data, '--rows', String(rows)]);
  const qx = path.join(binDir, 'qx');
  const book = path.join(work, 'QXBOOK.mdb');
  execFileSync(qx, ['book', '--file', book, 'add-group', '친구']);
  execFileSync(qx, ['book', '--file', book, 'import', '친구', path.join(data, 'friends.csv')]);
  const friends = read(path.join(data, 'friends.csv')).split('\n').filter(Boolean).length;
  const web = path.join(work, 'websim.log');
  start(path.join(binDir, 'websim'), ['--port', '0'], web);
  const webPort = await waitFor('websim', () => (read(web).match(/listening on [\d.]+:(\d+)/) || [])[1]);
  const gateLog = path.join(work, 'gatesim.log');
  const record = path.join(work, 'gate.jsonl');
  // Slow acknowledgements: a long send lasts long enough to be stopped from the page.
  start(path.join(binDir, 'gatesim'), ['--port', '0', '--record', record, '--ack-delay-ms', '150'],
    gateLog);
  const gatePort = await waitFor('gatesim', () => (read(gateLog).match(/listening on [\d.]+:(\d+)/) || [])[1]);
  const engineLog = path.join(work, 'engine.log');
  const linkPort = await freePort();
  const engine = start(path.join(binDir, 'parley'), [
    '--link-port', String(linkPort), '--ui-program', path.join(binDir, 'parley-ui'),
    '--home', work, '--web-base', 'http://127.0.0.1', '--web-port', webPort,
    '--gateway', `127.0.0.1:${gatePort}`], engineLog);
  // The engine launches parley-ui, which prints its address into the engine's output.
  const url = await waitFor('parley-ui', () => (read(engineLog).match(/open (http:\/\/127\.0\.0\.1:\d+\/\?token=\w+)/) || [])[1]);

  const browser = await chromium.launch({ executablePath: browserPath, headless: true, args: ['--no-sandbox'] });
  const page = await browser.newPage({ viewport: { width: 1280, height: 800 }, locale: 'ko-KR' });
  const shot = (name) => page.screenshot({ path: path.join(outDir, `${name}.png`), fullPage: true });
  page.setDefaultTimeout(15000);

  await page.goto(url);
  check(!page.url().includes('token='), 'the token is traded for a cookie and leaves the address bar');
  await page.waitForSelector('#login-view:not([hidden])');
  check((await page.textContent('#login-view h2')) === '로그인', 'the page speaks Korean first');
  await page.fill('#login-id', 'qxuser');
  await page.fill('#login-password', 'wrong-password');
  await page.click('#login-submit');
  await page.waitForSelector('#login-error:not([hidden])');
  check((await page.textContent('#login-error')).length > 0, 'a refused login is said plainly');
  await shot('1-login');
  await page.fill('#login-password', 'qxpass');
  await page.click('#login-submit');
  await page.waitForSelector('#send-view:not([hidden])');
  check((await page.textContent('#account')).includes('qxuser'), 'the account bar shows the user');

  await page.fill('#title', '안내');
  await page.fill('#text', '안녕하세요 고객님');
  await page.fill('#callback', '02-123-4567');
  await page.fill('#to', '010-1234-5678, 01098765432\n01055556666\n010-1234-5678');
  await waitForText(page, '#count', (t) => t === '3');
  check((await page.textContent('#bytes')) === '17', 'the byte counter counts as the engine does');
  check((await page.textContent('#kind')) === 'SMS', 'the kind follows the bytes');
  check(/1/.test(await page.textContent('#summary')) && (await page.textContent('#summary')).includes('01055556666'),
    'the recipients are listed as they will go, the duplicate taken out and said');
  await shot('2-compose');
  await page.click('#send');
  await page.waitForSelector('#confirm-view:not([hidden])');
  await waitForText(page, '#confirm-check', (t) => t.length > 0);
  check(!(await page.isDisabled('#confirm-yes')), 'the confirmation shows the send check that passed');
  await shot('3-confirm');
  await page.click('#confirm-yes');
  await page.waitForSelector('#result-view:not([hidden])');
  check((await page.textContent('#result-text')).includes('3'), 'the result is said in words');
  let jobs = await waitFor('the first job', () => { const j = gateJobs(record); return j.length === 1 && j; });
  check(jobs.length === 1 && jobs[0].messages.length === 3, 'the gateway got one job of three');
  check(jobs[0].messages.map((m) => m.recipient).join() === '01012345678,01098765432,01055556666',
    'to the three numbers, normalised, the duplicate once');
  check(jobs[0].messages.every((m) => m.text === '안녕하세요 고객님'), 'with the text as typed');
  await shot('4-result');

  // The message box: saved messages and ready-made texts go into the message; the text is saved;
  // the numbers just sent come back as recent numbers.
  await waitForAsync('recent numbers', async () => (await page.$$('#recent button')).length > 0);
  check((await page.textContent('#recent')).includes('01055556666'), 'the numbers just sent are offered again');
  await page.click('#show-saved');
  await page.waitForSelector('#box:not([hidden])');
  await page.click('#box-list li:first-child button');
  check((await page.inputValue('#text')) !== '안녕하세요 고객님', 'a saved message goes into the text');
  await page.click('#show-catalogue');
  await waitForAsync('the catalogue', async () => (await page.$$('#box-groups button')).length > 0);
  await page.click('#box-list li:first-child button');
  const catalogueText = await page.inputValue('#text');
  check(catalogueText.length > 0, 'a ready-made text goes into the text');
  await shot('4a-box');
  await page.fill('#text', '안녕하세요 고객님');
  await page.click('#save-text');
  await waitForText(page, '#box-note', (t) => t.length > 0);

  // A group send with a typed number, then a picture message.
  await page.fill('#to', '010-2222-3333');
  await page.check('#groups input[value="친구"]');
  await waitForText(page, '#count', (t) => t === String(friends + 1));
  await page.click('#send');
  await page.click('#confirm-yes');
  await page.waitForSelector('#result-view:not([hidden])');
  jobs = await waitFor('the group job', () => { const j = gateJobs(record); return j.length === 2 && j; });
  check(jobs[1].messages.length === friends + 1, `the group send reached the ${friends} friends and the typed number`);
  check(jobs[1].messages.at(-1).recipient === '01022223333', 'the typed number last, normalised');
  await page.uncheck('#groups input[value="친구"]');
  await page.fill('#to', '01044445555');
  await page.setInputFiles('#pictures', path.join(data, 'sample.jpg'));
  await waitForText(page, '#kind', (t) => t === 'MMS');
  check((await page.$$('#thumbs img')).length === 1, 'the picture shows as a thumbnail');
  await shot('4b-picture');
  await page.click('#send');
  await page.click('#confirm-yes');
  await waitForText(page, '#result-text', (t) => t.length > 0 && !t.includes(String(friends + 1)));
  jobs = await waitFor('the picture job', () => { const j = gateJobs(record); return j.length === 3 && j; });
  check(jobs[2].type_code === 'IMT' && jobs[2].messages.length === 1 && jobs[2].messages[0].size > fs.statSync(path.join(data, 'sample.jpg')).size,
    'the picture message went as a package holding the picture');
  await page.setInputFiles('#pictures', []);

  // A personalised send from a workbook of 300 rows, previewed first.
  await page.setInputFiles('#workbook', path.join(data, 'recipients.xlsx'));
  await page.waitForSelector('#workbook-form:not([hidden])');
  check((await page.inputValue('#phone-column')) === '전화', 'the phone column is found by its name');
  // A marker too narrow for the names is warned of before anything is sent.
  await page.fill('#template', '[이름:2]님');
  await page.click('#wb-preview');
  await waitForText(page, '#wb-problems', (t) => t.length > 0);
  check(true, 'a value cut to its marker\'s width is warned of');
  await page.fill('#template', '[이름:6]님, [등급:4] 고객님께 [문구:20] 소식을 전합니다.');
  await page.click('#wb-preview');
  await waitForText(page, '#wb-problems', (t) => t.length === 0);
  await waitForAsync('the preview', async () => (await page.$$('#preview tbody tr')).length > 0);
  const firstPreview = await page.textContent('#preview tbody tr:first-child');
  check(firstPreview.includes('님, '), 'the preview shows the composed text');
  await shot('4d-workbook');
  await page.click('#wb-send');
  await page.waitForSelector('#confirm-view:not([hidden])');
  await page.click('#confirm-yes');
  jobs = await waitFor('the workbook job', () => { const j = gateJobs(record); return j.length === 4 && j; }, 60000);
  check(jobs[3].messages.length === rows, `the workbook send went to every one of its ${rows} rows`);
  check(new Set(jobs[3].messages.map((m) => m.text)).size > 1 && jobs[3].messages.every((m) => m.text.includes('고객님께')),
    'each message composed from its own row');
  check(firstPreview.includes(jobs[3].messages[0].text.slice(0, 8)), 'as the preview showed it');
  await page.waitForSelector('#result-view:not([hidden])');

  // Results and statistics from the web service.
  await page.click('#results-form button');
  await waitForText(page, '#results-totals', (t) => t.length > 0);
  await page.click('#stats-form button');
  await waitForAsync('the chart', async () => (await page.$$('#chart .bar')).length > 0);
  await shot('4c-results');

  // A long send, stopped from the page.
  const many = Array.from({ length: 600 }, (_, i) => `0107${String(i).padStart(7, '0')}`).join('\n');
  await page.fill('#to', many);
  await waitForText(page, '#count', (t) => t === '600');
  await page.click('#send');
  await page.click('#confirm-yes');
  await page.waitForSelector('#progress-view:not([hidden])');
  await waitForText(page, '#progress-text', (t) => /\d/.test(t));
  await shot('5-progress');
  await page.click('#cancel');
  await page.waitForSelector('#result-view:not([hidden])');
  jobs = await waitFor('the stopped job', () => { const j = gateJobs(record); return j.length === 5 && j; });
  check(jobs[4].messages.length < 600, `the stop kept the rest from going (${jobs[4].messages.length} of 600 sent)`);
  await page.click('#jobs-refresh');
  await waitForAsync('five jobs', async () => (await page.$$('#jobs tbody tr')).length === 5);
  check((await page.textContent('#jobs tbody tr:first-child')).includes('cancelled'), 'the journal lists the stopped job');
  const groupText = await page.textContent('#jobs tbody tr:nth-child(4)');
  check(groupText.includes(String(friends + 1)), 'the group send counts its members in the journal');
  await shot('6-jobs');

  await page.click('#lang');
  check((await page.textContent('#send-view h2')) === 'New message', 'one click switches to English');
  await page.setViewportSize({ width: 390, height: 800 });
  await shot('7-narrow-english');

  await page.click('#quit');
  await waitFor('the engine to end', () => engine.exitCode !== null, 10000);
  check(engine.exitCode === 0, 'quitting from the page ends the engine');
  await browser.close();
}

main()
  .then(() => { cleanup(); process.exit(0); })
  .catch((error) => {
    console.error(error);
    console.error(`logs in ${work}`);
    cleanup(false);
    process.exit(1);
  });

function cleanup(remove = true) {
  for (const child of children) if (child.exitCode === null) child.kill('SIGTERM');
  if (remove) fs.rmSync(work, { recursive: true, force: true });
}
