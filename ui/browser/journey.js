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
const http = require('node:http');
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
const servers = [];
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
  const url = await waitFor('parley-ui', () => (read(engineLog).match(/open (http:\/\/127\.\d+\.\d+\.\d+:\d+\/\?token=\w+)/) || [])[1]);
  // Another web server on the machine, at the usual loopback address: it notes every cookie it
  // is sent.
  const cookiesSeen = [];
  const other = http.createServer((req, res) => { cookiesSeen.push(req.headers.cookie || ''); res.end('other'); });
  await new Promise((resolve) => other.listen(0, '127.0.0.1', resolve));
  servers.push(other);

  const browser = await chromium.launch({ executablePath: browserPath, headless: true, args: ['--no-sandbox', '--lang=ko-KR'] });
  const context = await browser.newContext({ viewport: { width: 1280, height: 800 }, locale: 'ko-KR' });
  const page = await context.newPage();
  const shot = (name) => page.screenshot({ path: path.join(outDir, `${name}.png`), fullPage: true });
  // One part of the page, as the user looks at it.
  // One screen of the page at a time, chosen from the bar of tasks.
  const go = async (name) => {
    await page.click(`#nav-${name}`);
    await page.waitForSelector(`#screen-${name}:not([hidden])`);
  };
  const shotOf = (name, selector) => page.locator(selector).screenshot({ path: path.join(outDir, `${name}.png`) });
  page.setDefaultTimeout(15000);

  await page.goto(url);
  check(!page.url().includes('token='), 'the token is traded for a cookie and leaves the address bar');
  check(!/^http:\/\/127\.0\./.test(url), `the page has a loopback address of its own (${new URL(url).host})`);
  // The address opens the page once: a second browser that reads it (from a log, a terminal)
  // gets nothing.
  const stranger = await browser.newContext();
  const strangerPage = await stranger.newPage();
  const second = await strangerPage.goto(url);
  check(second.status() === 403, 'the printed address, once used, opens nothing');
  await stranger.close();
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
  // The same browser visits another local web server: the page's cookie stays with the page.
  const otherPage = await context.newPage();
  await otherPage.goto(`http://127.0.0.1:${other.address().port}/`);
  await otherPage.close();
  // The browser may ask that server for its icon too: no request of any may carry the cookie.
  check(cookiesSeen.length >= 1 && cookiesSeen.every((c) => !c.includes('parley_ui')),
    `another local server gets no cookie of the page (it got ${JSON.stringify(cookiesSeen)})`);

  await page.fill('#title', '안내');
  await page.fill('#text', '안녕하세요 고객님');
  await page.fill('#callback', '02-123-4567');
  // A pasted list with a name and a landline among the numbers: the number box names each wrong
  // one by its line, in Korean, and takes them out on request.
  await page.fill('#to', '010-1234-5678, 01098765432\n홍길동, 01055556666\n010-1234-5678\n02-123-4567');
  await waitForText(page, '#problems', (t) => t.includes('홍길동'));
  const bad = await page.$$eval('#problems li', (els) => els.map((e) => e.textContent));
  check(bad.length === 2 && bad[0].startsWith('2번째 줄: ') && bad[0].includes('전화번호가 아닙니다')
    && bad[1].startsWith('4번째 줄: ') && bad[1].includes('휴대폰 번호가 아닙니다'),
    `one line per wrong number, with its line and the reason in Korean (${JSON.stringify(bad)})`);
  const box = await page.textContent('#number-box');
  check(!/--to|item|qx |[A-Za-z]{4,}/.test(box.replace('SMS', '')), `no command-line or English words in the number box (${box})`);
  check((await page.textContent('#number-counts')) === '입력 6개 · 올바른 번호 3개 · 중복 제거 1개 · 잘못된 번호 2개',
    'the box counts what was typed, what is valid, the duplicates removed and the wrong ones');
  await shot('2a-number-box');
  await shotOf('2b-number-box-card', '#number-box');
  await page.click('#remove-bad');
  await waitForText(page, '#problems', (t) => t.length === 0);
  check((await page.inputValue('#to')) === '010-1234-5678, 01098765432\n01055556666\n010-1234-5678',
    '"잘못된 번호 빼기" takes out the wrong numbers and keeps the rest');
  await waitForText(page, '#count', (t) => t === '3');
  check((await page.textContent('#bytes')) === '17', 'the byte counter counts as the engine does');
  check((await page.textContent('#kind')) === 'SMS', 'the kind follows the bytes');
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
  await go('workbook');
  await page.setInputFiles('#workbook', path.join(data, 'recipients.xlsx'));
  await page.waitForSelector('#workbook-form:not([hidden])');
  await page.fill('#wb-callback', '02-123-4567');
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
  await go('results');
  await page.click('#results-form button');
  await waitForText(page, '#results-totals', (t) => t.length > 0);
  await page.click('#stats-form button');
  await waitForAsync('the chart', async () => (await page.$$('#chart .bar')).length > 0);
  await shot('4c-results');

  // A long send, stopped from the page.
  await go('send');
  const many = Array.from({ length: 600 }, (_, i) => `0107${String(i).padStart(7, '0')}`).join('\n');
  await page.fill('#to', many);
  await waitForText(page, '#count', (t) => t === '600');
  await page.click('#send');
  await page.click('#confirm-yes');
  await page.waitForSelector('#progress-view:not([hidden])');
  await waitForText(page, '#progress-text', (t) => /\d/.test(t));
  await shot('5-progress');
  // Other programs hold connections to the page open: eight that send a byte of a request every
  // 3 s, and 64 that say nothing. The stop button is answered all the same.
  const { hostname, port } = new URL(url);
  const held = [];
  for (let i = 0; i < 72; i++) {
    const socket = net.connect(Number(port), hostname);
    socket.on('error', () => {});
    held.push(socket);
  }
  const drip = setInterval(() => { for (const socket of held.slice(0, 8)) socket.write('G'); }, 3000);
  await new Promise((r) => setTimeout(r, 500));
  const stopAt = Date.now();
  await page.click('#cancel');
  await page.waitForSelector('#result-view:not([hidden])');
  check(Date.now() - stopAt < 5000, `the stop button is answered beside 72 slow and idle connections (${Date.now() - stopAt} ms)`);
  clearInterval(drip);
  for (const socket of held) socket.destroy();
  jobs = await waitFor('the stopped job', () => { const j = gateJobs(record); return j.length === 5 && j; });
  check(jobs[4].messages.length < 600, `the stop kept the rest from going (${jobs[4].messages.length} of 600 sent)`);
  await go('results');
  await page.click('#jobs-refresh');
  await waitForAsync('five jobs', async () => (await page.$$('#jobs tbody tr')).length === 5);
  check((await page.textContent('#jobs tbody tr:first-child')).includes('취소됨'), 'the journal lists the stopped job, in Korean');
  const groupText = await page.textContent('#jobs tbody tr:nth-child(4)');
  check(groupText.includes(String(friends + 1)), 'the group send counts its members in the journal');
  await shot('6-jobs');

  // The same number twice with different names: "같은 번호는 한 번만" reaches each number once.
  const twiceSheet = path.join(work, 'twice.csv');
  fs.writeFileSync(twiceSheet, '전화,이름\n010-1212-3434,김하나\n01012123434,김두리\n010-5656-7878,이세진\n');
  const before = gateJobs(record).length;
  await go('workbook');
  await page.setInputFiles('#workbook', twiceSheet);
  await waitForAsync('the second sheet', async () => (await page.inputValue('#sheet')) === 'twice');
  await page.fill('#template', '[이름:6]님 안녕하세요');
  await page.check('#dedupe');
  await waitForText(page, '#wb-count', (t) => t === '2');
  await page.click('#wb-send');
  await page.waitForSelector('#confirm-view:not([hidden])');
  check((await page.textContent('#wb-facts')).includes('한 번만'), 'the check says the repeated number goes once');
  await waitForAsync('the send button', async () => !(await page.isDisabled('#confirm-yes')));
  await shot('11-workbook-once');
  await shotOf('11b-workbook-once-card', '#confirm-view');
  await page.click('#confirm-yes');
  jobs = await waitFor('the job of each number once', () => { const j = gateJobs(record); return j.length === before + 1 && j; }, 30000);
  check(jobs.at(-1).messages.map((m) => m.recipient).join() === '01012123434,01056567878', 'each number once');
  check(jobs.at(-1).messages[0].text === '김하나님 안녕하세요', 'the first row keeps the number');
  await page.waitForSelector('#result-view:not([hidden])');
  await page.uncheck('#dedupe');

  // A picture that is no JPEG is refused as soon as it is chosen, beside the picture.
  await go('send');
  const png = Buffer.from('iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNk+M9QDwADhgGAWjR9awAAAABJRU5ErkJggg==', 'base64');
  await page.fill('#to', '01044445555');
  await page.fill('#text', '행사 사진입니다');
  await page.setInputFiles('#pictures', { name: 'poster.png', mimeType: 'image/png', buffer: png });
  await page.waitForSelector('#thumbs figure.bad');
  check((await page.textContent('#thumbs')).includes('JPEG 사진이 아닙니다'), 'a PNG is refused when chosen, in Korean');
  check(!(await page.textContent('#thumbs')).includes('/tmp'), 'without a path of the server');
  await waitForText(page, '#kind', (t) => t === 'MMS');
  await page.click('#send');
  await waitForText(page, '#notice', (t) => t.includes('사진'));
  check(await page.isHidden('#confirm-view'), 'and the send does not get to the confirmation');
  await shot('12-picture-refused');
  await shotOf('12b-picture-refused-card', '#compose-form');
  await page.setInputFiles('#pictures', []);
  await waitForText(page, '#kind', (t) => t === 'SMS');

  // A reservation: the confirmation and the result say when, in words.
  const at = new Date(Date.now() + 30 * 86400000);
  const pad = (n) => String(n).padStart(2, '0');
  await page.fill('#reserve', `${at.getFullYear()}-${pad(at.getMonth() + 1)}-${pad(at.getDate())}T14:05`);
  const words = `${at.getFullYear()}년 ${at.getMonth() + 1}월 ${at.getDate()}일`;
  await page.click('#send');
  await page.waitForSelector('#confirm-view:not([hidden])');
  check((await page.textContent('#confirm-when')).startsWith(words) && (await page.textContent('#confirm-when')).includes('14:05에 예약 발송합니다'),
    `the confirmation says the reservation in words (${await page.textContent('#confirm-when')})`);
  await waitForAsync('the send button', async () => !(await page.isDisabled('#confirm-yes')));
  await shot('13-reserve-confirm');
  await shotOf('13b-reserve-confirm-card', '#confirm-view');
  await page.click('#confirm-yes');
  await waitForText(page, '#result-text', (t) => t.includes('예약했습니다'));
  check((await page.textContent('#result-text')).includes(`${words}`), 'the result says it is reserved for that time');
  check(!(await page.textContent('#result-text')).includes('전송되었습니다'), 'not that it was sent');
  await shot('14-reserve-result');
  await page.fill('#reserve', '');

  // A workbook with wrong numbers: the full check lists every one before the confirmation, the
  // send waits for "오류 행 빼고 보내기", and then exactly the valid numbers go.
  const badSheet = path.join(work, 'customers.csv');
  fs.writeFileSync(badSheet, ['전화,이름', ',김빈칸', 'abc,이문자', '+82 10 5555 6666,박국제',
    '02-123-4567,최유선', '1588-1234,정대표', '010-1111-2222,한가람', '010-3333-4444,윤보라',
    '01077778888,장미', ''].join('\n'));
  await go('workbook');
  await page.fill('#wb-callback', '02-123-4567');
  await page.fill('#wb-title', '');
  await page.setInputFiles('#workbook', badSheet);
  await waitForAsync('the new sheet', async () => (await page.inputValue('#sheet')) === 'customers');
  await page.fill('#template', '');
  await page.click('#markers button:has-text("이름")');
  await waitForAsync('the measured marker', async () => (await page.inputValue('#template')) === '[이름:6]');
  check((await page.textContent('#wb-width-note')).includes('6바이트'),
    'a column goes in with the bytes of its longest value, and says so in bytes');
  await page.keyboard.type('님, 12월 행사 안내입니다.');
  await waitForText(page, '#wb-count', (t) => t === '4');
  await shot('8-workbook-width');
  await shotOf('8b-workbook-width-card', '#workbook-card');
  const beforeBad = gateJobs(record).length;
  await page.click('#wb-send');
  await page.waitForSelector('#wb-faults-box:not([hidden])');
  const faults = await page.locator('#wb-faults tbody tr').allTextContents();
  check(faults.length === 4 && ['(빈 칸)', 'abc', '02-123-4567', '1588-1234'].every((c, i) => faults[i].includes(c)),
    'the check lists the four rows with wrong numbers, each with its cell');
  check(faults[0].includes('비어') && faults[1].includes('숫자가 아닌') && faults[2].includes('휴대전화 번호가 아닙니다'),
    'each with its reason in Korean');
  check((await page.textContent('#wb-facts')).includes('4건'), 'the check counts the messages the send makes');
  await waitForText(page, '#confirm-check', (t) => t.length > 0);
  check(await page.isDisabled('#confirm-yes'), 'a send with wrong rows waits for the user\'s yes');
  check((await page.textContent('#wb-blocks')).includes('오류 행 빼고 보내기'), 'and says which box to tick');
  await shot('9-workbook-check');
  await shotOf('9b-workbook-check-card', '#confirm-view');
  check(gateJobs(record).length === beforeBad, 'nothing went to the gateway');
  await page.check('#skip-invalid');
  await waitForAsync('the send button', async () => !(await page.isDisabled('#confirm-yes')));
  await shot('9a-workbook-check-ticked');
  await page.click('#confirm-yes');
  jobs = await waitFor('the workbook job without the wrong rows', () => { const j = gateJobs(record); return j.length === beforeBad + 1 && j; }, 30000);
  check(jobs.at(-1).messages.map((m) => m.recipient).join() === '01055556666,01011112222,01033334444,01077778888',
    'exactly the valid numbers reached the gateway, +82 10 5555 6666 as 01055556666');
  check(jobs.at(-1).messages[0].text === '박국제님, 12월 행사 안내입니다.', 'composed from their own rows');
  await page.waitForSelector('#result-view:not([hidden])');
  await waitForText(page, '#result-text', (t) => t.includes('4건을 보냈습니다') && t.includes('4개 행은 보내지 않았습니다'));
  check(true, 'the result says what went and what was left out');
  await shot('10-workbook-result');
  await shotOf('10b-workbook-result-card', '#result-view');

  // The address book: a group chosen, a contact added, a wrong number refused beside the form,
  // a contact changed and moved, a spreadsheet imported with its own check.
  page.on('dialog', (dialog) => dialog.accept());
  await go('book');
  await waitForAsync('the groups', async () => (await page.$$('#book-groups button')).length > 0);
  await page.click('#book-groups button:has-text("친구")');
  await waitForText(page, '#book-group-title', (t) => t.startsWith('친구'));
  check((await page.$$('#book-contacts tbody tr')).length === friends, 'the group shows its contacts');
  await page.fill('#book-name', '새친구');
  await page.fill('#book-phone', '02-123-4567');
  await page.click('#book-contact-form button');
  await waitForText(page, '#book-contact-problem', (t) => t.includes('휴대폰 번호가 아닙니다'));
  check(true, 'a landline is refused beside the form, in Korean');
  await page.fill('#book-phone', '010-2222-3333');
  await page.click('#book-contact-form button');
  await waitForAsync('the new contact', async () => (await page.$$('#book-contacts tbody tr')).length === friends + 1);
  await page.fill('#book-group-name', '고객');
  await page.click('#book-group-form button');
  await waitForText(page, '#book-group-title', (t) => t.startsWith('고객'));
  const importSheet = path.join(work, 'new-customers.csv');
  fs.writeFileSync(importSheet, '이름,휴대폰\n가나다,010-4444-0001\n라마바,0212345678\n사아자,01044440003\n');
  await page.setInputFiles('#book-import', importSheet);
  await waitForText(page, '#book-import-note', (t) => t.includes('2명을 가져왔습니다'));
  check((await page.textContent('#book-import-problems')).includes('3행'), 'an imported row without a mobile number is named by its row');
  await page.click('#book-groups button:has-text("친구")');
  await waitForText(page, '#book-group-title', (t) => t.startsWith('친구'));
  await page.fill('#book-search', '2222');
  await waitForAsync('the search', async () => (await page.$$('#book-contacts tbody tr')).length === 1);
  await page.click('#book-contacts tbody tr button:has-text("고치기")');
  await page.fill('#book-contacts tbody tr td:nth-child(1) input', '새친구(회사)');
  await page.click('#book-contacts tbody tr button:has-text("저장")');
  await waitForText(page, '#book-contacts tbody', (t) => t.includes('새친구(회사)'));
  await shot('15-book');
  await page.selectOption('#book-contacts tbody tr select', '고객');
  await waitForAsync('the move', async () => (await page.$$('#book-contacts tbody tr')).length === 0);
  await page.fill('#book-search', '');
  check((await page.textContent('#book-groups')).includes('고객3'), 'the moved contact counts in its new group');

  // A first send to a group, in as few clicks as a person needs: the task, the group, the text,
  // send, confirm.
  let clicks = 0;
  const click = async (selector) => { clicks += 1; await page.click(selector); };
  await click('#nav-send');
  await page.fill('#to', '');
  await page.fill('#text', '이번 주 모임 안내');
  clicks += 1;  // typing the text
  await click('#groups input[value="고객"]');
  await waitForText(page, '#count', (t) => t === '3');
  const beforeGroup = gateJobs(record).length;
  await click('#send');
  await page.waitForSelector('#confirm-view:not([hidden])');
  await waitForAsync('the send button', async () => !(await page.isDisabled('#confirm-yes')));
  await click('#confirm-yes');
  jobs = await waitFor('the first group send', () => { const j = gateJobs(record); return j.length === beforeGroup + 1 && j; });
  check(jobs.at(-1).messages.length === 3, `a first send to a group took ${clicks} clicks`);
  await page.uncheck('#groups input[value="고객"]');

  // The journal: a job's recipients by state, found by number, downloaded, and its rest sent.
  await go('results');
  await waitForAsync('the jobs', async () => (await page.$$('#jobs tbody tr')).length > 5);
  const stopped = await page.$('#jobs tbody tr:has-text("취소됨")');
  check(/\d{4}-\d{2}-\d{2} \d{2}:\d{2}/.test(await stopped.textContent()), 'each job says when it ran, as 2026-12-11 14:05');
  await (await stopped.$('button')).click();
  await page.waitForSelector('#job-card:not([hidden])');
  await waitForAsync('the recipients', async () => (await page.$$('#job-recipients tbody tr')).length > 0);
  check((await page.textContent('#job-recipients')).includes('전송 확인') && (await page.textContent('#job-recipients')).includes('보내지 않음'),
    'each recipient has its state in words');
  await page.fill('#job-search', '0107000059');
  await waitForAsync('the search', async () => (await page.$$('#job-recipients tbody tr')).length === 10);
  const csv = await page.request.get(new URL(await page.getAttribute('#job-csv', 'href'), page.url()).href);
  check(csv.ok() && (await csv.text()).startsWith('"place","number","state"'), 'the job downloads as CSV');
  await shot('16-job');
  const beforeRest = gateJobs(record).length;
  const notSent = Number((await page.textContent('#job-facts')).match(/보내지 않음 ([\d,]+)건/)[1].replace(/,/g, ''));
  await page.click('#job-rest');
  await waitForText(page, '#job-note', (t) => t.includes('보냈습니다'));
  jobs = await waitFor('the rest', () => { const j = gateJobs(record); return j.length === beforeRest + 1 && j; });
  check(jobs.at(-1).messages.length === notSent, `"나머지 보내기" sent exactly the ${notSent} not sent`);

  // Reservations from the journal, with their time.
  await go('reserved');
  await waitForText(page, '#reserved tbody', (t) => t.includes('14:05'));
  check(true, 'the reservation is listed with its time');

  // qx works while the page is open.
  const qxStatus = execFileSync(qx, ['status'], { env: { ...process.env, QX_PORT: String(linkPort), LC_ALL: 'C' } }).toString();
  check(qxStatus.includes('qxuser'), 'qx works while the page is open');

  // Korea's sending rules. The settings: the business name, the free opt-out number, the user's
  // own number, the callback registered.
  await go('settings');
  await page.fill('#set-business', '파리상회');
  await page.fill('#set-optout', '080-123-4567');
  await page.fill('#set-own', '010-9999-0000');
  await page.click('#settings-form button[type=submit]');
  await waitForText(page, '#settings-note', (t) => t.includes('저장했습니다'));
  await page.fill('#callback-new', '02-123-4567');
  await page.click('#callback-form button');
  await waitForText(page, '#callbacks', (t) => t.includes('02-123-4567'));
  await shot('18-settings');
  // A number on the opt-out list.
  await go('book');
  await page.fill('#optout-numbers', '010-5555-6666');
  await page.fill('#optout-note', '전화로 거부');
  await page.click('#optout-form button');
  await waitForText(page, '#optout-count', (t) => t.includes('1개'));
  await shotOf('19-optout-card', '#optout-card');
  // An advertising send: the marker and the opt-out line inserted, the opt-out count before
  // the confirmation, and exactly the other number reached.
  await go('send');
  await page.check('#ad-advert');
  await page.fill('#to', '010-5555-6666\n010-1234-5678');
  await page.fill('#title', '');
  await page.fill('#callback', '02-123-4567');
  await page.fill('#text', '봄맞이 20% 할인 행사를 합니다.');
  // In the daytime of Korea whatever the time of this run: tomorrow at 10:00.
  const day = new Date(Date.now() + 86400000);
  const dayText = `${day.getFullYear()}-${pad(day.getMonth() + 1)}-${pad(day.getDate())}`;
  await page.fill('#reserve', `${dayText} 10:00`);
  await waitForText(page, '#problems', (t) => t.includes('(광고)'));
  check((await page.textContent('#problems')).includes('정확히 적어야'), 'an advertising text without its marker is refused, in Korean');
  await page.click('#ad-insert');
  await waitForAsync('the marked text', async () => (await page.inputValue('#text')).startsWith('(광고)파리상회'));
  check((await page.inputValue('#text')).endsWith('무료수신거부 080-123-4567'), 'the free opt-out line is inserted at the end');
  await waitForText(page, '#problems', (t) => t.length === 0);
  await shot('20-advert-compose');
  const beforeAd = gateJobs(record).length;
  await page.click('#send');
  await page.waitForSelector('#confirm-view:not([hidden])');
  await waitForText(page, '#confirm-optout', (t) => t.includes('수신거부 1명 제외'));
  await waitForText(page, '#confirm-cost', (t) => t.includes('원'));
  check(true, `the confirmation says the opt-out count and the cost (${await page.textContent('#confirm-cost')})`);
  await shot('21-advert-confirm');
  await shotOf('21b-advert-confirm-card', '#confirm-view');
  await page.click('#confirm-yes');
  jobs = await waitFor('the advertising job', () => { const j = gateJobs(record); return j.length === beforeAd + 1 && j; });
  check(jobs.at(-1).messages.map((m) => m.recipient).join() === '01012345678', 'the opted-out number was left out at the gateway');
  check(jobs.at(-1).messages[0].text.startsWith('(광고)파리상회'), 'the message went with its marker');
  // A night reservation of an advertising message is refused before anything is asked.
  await page.fill('#reserve', `${dayText} 23:30`);
  await waitForText(page, '#problems', (t) => t.includes('23:30'));
  check((await page.textContent('#problems')).includes('밤 9시부터 아침 8시까지'), 'a night reservation is refused with the reason');
  await shot('22-night-refused');
  await page.fill('#reserve', '');
  await page.check('#ad-normal');
  // A test send to one's own number.
  const beforeTest = gateJobs(record).length;
  await page.click('#test-send');
  await page.waitForSelector('#confirm-view:not([hidden])');
  check((await page.textContent('#confirm-text')).includes('01099990000'), 'a test send names the own number');
  await waitForAsync('the send button', async () => !(await page.isDisabled('#confirm-yes')));
  await page.click('#confirm-yes');
  jobs = await waitFor('the test send', () => { const j = gateJobs(record); return j.length === beforeTest + 1 && j; });
  check(jobs.at(-1).messages.map((m) => m.recipient).join() === '01099990000', 'the test send reached the own number only');
  await waitForText(page, '#test-send-note', (t) => t.includes('01099990000'));

  // A reload and a second tab during a long send: both show it at once and say why to wait.
  await go('send');
  await page.fill('#text', '안녕하세요 고객님');
  await page.fill('#to', Array.from({ length: 600 }, (_, i) => `0108${String(i).padStart(7, '0')}`).join('\n'));
  await waitForText(page, '#count', (t) => t === '600');
  await page.click('#send');
  await waitForAsync('the send button', async () => !(await page.isDisabled('#confirm-yes')));
  await page.click('#confirm-yes');
  await page.waitForSelector('#progress-view:not([hidden])');
  await page.reload();
  await page.waitForSelector('#busy-note:not([hidden])');
  check((await page.textContent('#account')).includes('qxuser'), 'after a reload the account is shown at once');
  check((await page.textContent('#busy-note')).includes('보내는 중'), 'and the running send with its progress');
  check(await page.isDisabled('#send'), 'and sending waits for it');
  const otherTab = await context.newPage();
  await otherTab.goto(new URL('/#send', url).href);
  await otherTab.waitForSelector('#busy-note:not([hidden])');
  check((await otherTab.textContent('#busy-note')).includes('끝나면 보낼 수 있습니다'), 'a otherTab tab is told why it must wait');
  await otherTab.screenshot({ path: path.join(outDir, '17-second-tab.png') });
  await page.click('#busy-stop');
  await page.waitForSelector('#busy-note', { state: 'hidden', timeout: 30000 });
  await otherTab.waitForSelector('#busy-note', { state: 'hidden', timeout: 30000 });
  check(!(await otherTab.isDisabled('#send')), 'once it has stopped, both may send again');
  await otherTab.close();

  // A closed tab needs no printed line: parley-ui --open asks the running one for a fresh
  // one-time address, which opens the page in a browser that never had it.
  const openEnv = { ...process.env };
  delete openEnv.DISPLAY;
  delete openEnv.WAYLAND_DISPLAY;
  const reopened = execFileSync(path.join(binDir, 'parley-ui'), ['--open', '--no-browser', '--link-port', String(linkPort)],
    { env: openEnv }).toString();
  const fresh = (reopened.match(/open (http:\/\/127\.\d+\.\d+\.\d+:\d+\/\?token=\w+)/) || [])[1];
  check(!!fresh, 'parley-ui --open gives a fresh address of the running page');
  const freshContext = await browser.newContext({ viewport: { width: 1280, height: 800 }, locale: 'ko-KR' });
  const freshPage = await freshContext.newPage();
  await freshPage.goto(fresh);
  await freshPage.waitForSelector('#send-view:not([hidden])');
  check((await freshPage.textContent('#account')).includes('qxuser'), 'and opens it, logged in, with the account');
  await freshContext.close();

  // Every screen at an office screen's size and a phone's.
  for (const [w, h] of [[1280, 800], [390, 844]]) {
    await page.setViewportSize({ width: w, height: h });
    for (const name of ['send', 'workbook', 'book', 'results', 'reserved', 'settings']) {
      await go(name);
      await page.waitForTimeout(150);
      await page.screenshot({ path: path.join(outDir, `screen-${name}-${w}.png`) });
    }
  }
  await page.setViewportSize({ width: 1280, height: 800 });
  await go('send');
  await page.fill('#to', '01012345678, 홍길동');
  await waitForText(page, '#problems', (t) => t.includes('홍길동'));

  // Switching the language asks the server nothing again: what it said came in both languages.
  let asked = 0;
  const countCalls = (request) => { if (request.url().includes('/api/')) asked += 1; };
  page.on('request', countCalls);
  await page.click('#lang');
  check((await page.textContent('#nav-send')) === 'Send a message', 'one click switches to English');
  check(/typed .* valid/.test(await page.textContent('#number-counts')), 'the number box follows the language');
  check((await page.textContent('#problems')).includes('is not a phone number'), 'and so do its verdicts');
  page.off('request', countCalls);
  check(asked === 0, `switching the language made no request (${asked})`);
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
  for (const server of servers) server.close();
  if (remove) fs.rmSync(work, { recursive: true, force: true });
}
