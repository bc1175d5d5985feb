// The page of parley-ui. Every rule (numbers, byte counts, kinds, reservations) is checked by the
// server with the client core; the page shows what it answers, in Korean or English.
'use strict';

const texts = {
  ko: {
    'lang.switch': 'English', logout: '로그아웃', quit: '끝내기',
    'login.title': '로그인', 'login.id': '아이디', 'login.password': '비밀번호',
    'login.save': '아이디 저장', 'login.submit': '로그인',
    'compose.title': '메시지 작성', 'compose.subject': '제목', 'compose.text': '내용',
    'compose.callback': '회신번호', 'compose.reserve': '예약 (비우면 즉시)',
    'compose.to': '받는 사람 (쉼표나 줄바꿈으로 구분)', 'compose.count': '받는 사람',
    'compose.send': '보내기', 'compose.pictures': '사진 (JPEG, 3장까지)',
    'compose.groups': '주소록 그룹', 'results.title': '전송 결과', 'results.from': '시작일',
    'results.to': '종료일', 'results.show': '보기', 'results.time': '시간', 'results.result': '결과',
    'wb.title': '엑셀 개인화 전송', 'wb.file': '엑셀 파일 (xlsx, xls, ods, csv)', 'wb.sheet': '시트',
    'wb.phone': '전화번호 열', 'wb.callback': '회신번호',
    'wb.template': '내용 (열 이름을 눌러 [열:글자수]를 넣습니다)', 'wb.dedupe': '같은 번호는 한 번만',
    'wb.max': '최대', 'table.no': '번호', 'unit.bytes': '바이트', 'wb.preview': '미리 보기', 'wb.fixed': '위의 회신번호',
    'box.saved': '저장한 메시지', 'box.catalogue': '문자 카탈로그', 'box.save': '이 메시지 저장',
    'box.insert': '넣기', 'box.empty': '없습니다', 'results.all': '전체',
    'stats.title': '월별 사용량', 'stats.from': '시작 월', 'stats.to': '종료 월',
    totals: (t) => `전체 ${t[0]}건 · 성공 ${t[1]}건 · 실패 ${t[2]}건 · 대기 ${t[3]}건`,
    members: (n) => `${n}명`,
    'confirm.title': '보내기 전 확인', 'confirm.yes': '보내기',
    'confirm.no': '취소', 'progress.title': '보내는 중', 'progress.cancel': '전송 중지',
    'result.title': '결과', 'jobs.title': '최근 작업', 'jobs.refresh': '새로 고침',
    'jobs.id': '작업', 'jobs.kind': '종류', 'jobs.subject': '제목', 'jobs.total': '전체',
    'jobs.ack': '확인', 'jobs.doubt': '불확실', 'jobs.notsent': '미전송', 'jobs.ending': '종료',
    confirm: (n, kind) => `${kind} ${n}건을 보냅니다.`,
    progress: (s, t, rate, left) => `${t}건 중 ${s}건 전송 · 초당 ${rate}건 · 남은 시간 ${left}`,
    account: (a) => `${a.name} (${a.grade}) · ${a.amount} · SMS ${a.sms} / LMS ${a.lms} / MMS ${a.mms}`,
    noEngine: '엔진이 응답하지 않습니다',
  },
  en: {
    'lang.switch': '한국어', logout: 'Log out', quit: 'Quit',
    'login.title': 'Log in', 'login.id': 'ID', 'login.password': 'Password',
    'login.save': 'Remember the ID', 'login.submit': 'Log in',
    'compose.title': 'New message', 'compose.subject': 'Title', 'compose.text': 'Text',
    'compose.callback': 'Callback number', 'compose.reserve': 'Reserve for (empty: now)',
    'compose.to': 'Recipients (commas or one a line)', 'compose.count': 'Recipients',
    'compose.send': 'Send', 'compose.pictures': 'Pictures (JPEG, up to three)',
    'compose.groups': 'Address-book groups', 'results.title': 'Send results', 'results.from': 'From',
    'results.to': 'To', 'results.show': 'Show', 'results.time': 'Time', 'results.result': 'Result',
    'wb.title': 'Personalised send from a workbook', 'wb.file': 'Workbook (xlsx, xls, ods, csv)',
    'wb.sheet': 'Sheet', 'wb.phone': 'Phone column', 'wb.callback': 'Callback',
    'wb.template': 'Text (click a column to insert [column:width])', 'wb.dedupe': 'Each number once',
    'wb.max': 'at most', 'table.no': 'No', 'unit.bytes': 'bytes', 'wb.preview': 'Preview', 'wb.fixed': 'The callback above',
    'box.saved': 'Saved messages', 'box.catalogue': 'Ready-made texts', 'box.save': 'Save this message',
    'box.insert': 'Insert', 'box.empty': 'None', 'results.all': 'All',
    'stats.title': 'Usage per day', 'stats.from': 'From month', 'stats.to': 'To month',
    totals: (t) => `${t[0]} in all · ${t[1]} delivered · ${t[2]} failed · ${t[3]} waiting`,
    members: (n) => `${n}`,
    'confirm.title': 'Before sending', 'confirm.yes': 'Send',
    'confirm.no': 'Cancel', 'progress.title': 'Sending', 'progress.cancel': 'Stop sending',
    'result.title': 'Result', 'jobs.title': 'Recent jobs', 'jobs.refresh': 'Refresh',
    'jobs.id': 'Job', 'jobs.kind': 'Kind', 'jobs.subject': 'Title', 'jobs.total': 'Total',
    'jobs.ack': 'Acknowledged', 'jobs.doubt': 'In doubt', 'jobs.notsent': 'Not sent',
    'jobs.ending': 'Ended',
    confirm: (n, kind) => `Send ${n} ${kind} message(s).`,
    progress: (s, t, rate, left) => `${s} of ${t} sent · ${rate}/s · ${left} left`,
    account: (a) => `${a.name} (${a.grade}) · ${a.amount} · SMS ${a.sms} / LMS ${a.lms} / MMS ${a.mms}`,
    noEngine: 'The engine does not answer',
  },
};

let lang = localStorage.getItem('parley.lang') === 'en' ? 'en' : 'ko';
const $ = (id) => document.getElementById(id);
const t = (key) => texts[lang][key];

function applyLanguage() {
  document.documentElement.lang = lang;
  for (const el of document.querySelectorAll('[data-t]')) el.textContent = t(el.dataset.t);
}

async function call(path, fields) {
  const options = { headers: { 'X-Parley-Lang': lang } };
  if (fields) {
    options.method = 'POST';
    if (Object.keys(fields).length > 0) {
      const form = new FormData();
      for (const [k, v] of Object.entries(fields)) {
        for (const item of Array.isArray(v) ? v : [v]) form.append(k, item);
      }
      options.body = form;
    }
  }
  const res = await fetch(path, options);
  if (res.status === 503) throw new Error(t('noEngine'));
  return res.json();
}

function showAccount(account) {
  if (!account) return;
  $('account').textContent = t('account')(account);
  $('account').hidden = false;
}

function showView(loggedIn) {
  $('login-view').hidden = loggedIn;
  $('send-view').hidden = !loggedIn;
  $('logout').hidden = !loggedIn;
  if (!loggedIn) $('account').hidden = true;
}

function chosenGroups() {
  return [...document.querySelectorAll('#groups input:checked')];
}

function composeFields() {
  return {
    title: $('title').value, text: $('text').value, callback: $('callback').value,
    to: $('to').value, reserve: $('reserve').value.replace('T', ' '),
    groups: chosenGroups().map((box) => box.value).join('\n'),
    pictures: String($('pictures').files.length),
  };
}

function sendFields() {
  return { ...composeFields(), pictures: [...$('pictures').files] };
}

function groupMembers() {
  return chosenGroups().reduce((sum, box) => sum + Number(box.dataset.members), 0);
}

let lastCheck = null;
let checkTimer = 0;
async function checkCompose() {
  const answer = await call('/api/compose', composeFields());
  lastCheck = answer;
  $('bytes').textContent = answer.bytes;
  $('limit').textContent = answer.limit;
  $('kind').textContent = answer.kind;
  $('bytes').parentElement.classList.toggle('over', answer.bytes > answer.limit);
  $('count').textContent = answer.recipients.length + groupMembers();
  const lines = (id, texts) => $(id).replaceChildren(...texts.map((p) => {
    const li = document.createElement('li');
    li.textContent = p;
    return li;
  }));
  // The summary says how many duplicates were taken out; the problems name each refused number.
  lines('summary', answer.summary);
  lines('problems', answer.problems);
  return answer;
}
function scheduleCheck() {
  clearTimeout(checkTimer);
  checkTimer = setTimeout(() => checkCompose().catch(showError), 250);
}

function showError(error) {
  $('notice').textContent = error.message || String(error);
  $('notice').hidden = false;
}

async function refreshState() {
  const state = await call('/api/state');
  showView(state.logged_in);
  if (state.journal_notice) {
    $('notice').textContent = state.journal_notice;
    $('notice').hidden = false;
  }
  if (state.logged_in) {
    refreshJobs().catch(showError);
    refreshGroups().catch(showError);
    showRecent().catch(showError);
  }
  else {
    const saved = await call('/api/saved-id');
    if (saved.id) { $('login-id').value = saved.id; $('login-save').checked = true; }
  }
}

async function refreshGroups() {
  const answer = await call('/api/groups');
  $('groups-box').hidden = answer.groups.length === 0;
  $('groups').replaceChildren(...answer.groups.map((g) => {
    const label = document.createElement('label');
    const box = document.createElement('input');
    box.type = 'checkbox';
    box.value = g.name;
    box.dataset.members = g.members;
    box.addEventListener('change', scheduleCheck);
    label.append(box, ` ${g.name} (${t('members')(g.members)})`);
    return label;
  }));
}

function showThumbs() {
  $('thumbs').replaceChildren(...[...$('pictures').files].map((file) => {
    const img = document.createElement('img');
    img.src = URL.createObjectURL(file);
    img.alt = file.name;
    return img;
  }));
  scheduleCheck();
}

function cells(row, values, numeric = []) {
  const tr = document.createElement('tr');
  values.forEach((value, i) => {
    const td = document.createElement('td');
    td.textContent = value;
    if (numeric.includes(i)) td.className = 'num';
    tr.append(td);
  });
  return tr;
}

let resultsPage = 1;
async function showResults(event) {
  if (event) { event.preventDefault(); resultsPage = 1; }
  $('results-page').textContent = resultsPage;
  const query = new URLSearchParams({
    from: $('results-from').value, to: $('results-to').value, kind: $('results-kind').value,
    page: String(resultsPage),
  });
  const answer = await call(`/api/results?${query}`);
  $('results-totals').textContent = answer.totals ? t('totals')(answer.totals) : '';
  $('results').tBodies[0].replaceChildren(...(answer.rows || []).map((r) => cells(null, r, [0, 6])));
}

async function showStats(event) {
  if (event) event.preventDefault();
  const month = (v) => v || new Date().toISOString().slice(0, 7);
  const query = new URLSearchParams({ from: month($('stats-from').value), to: month($('stats-to').value) });
  const answer = await call(`/api/stats?${query}`);
  const rows = (answer.rows || []).filter((r) => r.length >= 5);
  const most = Math.max(1, ...rows.map((r) => Number(r[4]) || 0));
  $('chart').replaceChildren(...rows.map((r) => {
    const bar = document.createElement('div');
    bar.className = 'bar';
    const day = document.createElement('span');
    day.textContent = r[0];
    const fill = document.createElement('span');
    fill.className = 'fill';
    fill.style.width = `${(100 * (Number(r[4]) || 0)) / most}%`;
    const n = document.createElement('span');
    n.className = 'n';
    n.textContent = r[4];
    bar.append(day, fill, n);
    return bar;
  }));
}

async function refreshJobs() {
  const answer = await call('/api/jobs');
  const body = $('jobs').tBodies[0];
  body.replaceChildren(...answer.jobs.map((j) => {
    const tr = document.createElement('tr');
    for (const [value, num] of [[j.id, true], [j.kind], [j.title], [j.total, true],
      [j.acknowledged, true], [j.in_doubt, true], [j.not_sent, true], [j.ending]]) {
      const td = document.createElement('td');
      td.textContent = value;
      if (num) td.className = 'num';
      tr.append(td);
    }
    return tr;
  }));
}

async function login(event) {
  event.preventDefault();
  $('login-error').hidden = true;
  const answer = await call('/api/login', {
    id: $('login-id').value, password: $('login-password').value,
    save: $('login-save').checked ? '1' : '0',
  });
  if (!answer.ok) {
    $('login-error').textContent = answer.error;
    $('login-error').hidden = false;
    return;
  }
  $('login-password').value = '';
  showAccount(answer.account);
  showView(true);
  refreshJobs().catch(showError);
  refreshGroups().catch(showError);
  showRecent().catch(showError);
}

async function askToSend(event) {
  event.preventDefault();
  pendingSend = null;
  const answer = await checkCompose();
  if (!answer.ok) return;
  const count = answer.recipients.length + groupMembers();
  $('confirm-text').textContent = t('confirm')(count, answer.kind);
  await showCheck(count, { SMS: 1, LMS: 2, MMS: 3 }[answer.kind] || 1, false);
}

async function send() {
  $('confirm-view').hidden = true;
  $('progress-view').hidden = false;
  $('send').disabled = true;
  const started = Date.now();
  const poll = setInterval(async () => {
    try {
      const state = await call('/api/state');
      const job = state.job;
      if (job.state === 'running' && job.total > 0) {
        $('progress').value = Math.round((100 * job.sent) / job.total);
        // The rate and the time left from the counts STATE gives, as qx shows them.
        const seconds = (Date.now() - started) / 1000;
        const rate = seconds > 0 && job.sent > 0 ? job.sent / seconds : 0;
        const left = rate > 0 ? Math.ceil((job.total - job.sent) / rate) : null;
        const clock = left === null ? '-' : `${Math.floor(left / 60)}:${String(left % 60).padStart(2, '0')}`;
        $('progress-text').textContent = t('progress')(job.sent, job.total, rate ? Math.round(rate) : '-', clock);
      }
    } catch (e) { /* the send's own answer tells */ }
  }, 250);
  try {
    const answer = await (pendingSend ? pendingSend() : call('/api/send', sendFields()));
    $('result-text').textContent = answer.text || (answer.problems || []).join('\n');
    $('result-view').hidden = false;
    showAccount(answer.account);
    refreshJobs().catch(showError);
    showRecent().catch(showError);
  } catch (e) {
    showError(e);
  } finally {
    pendingSend = null;
    clearInterval(poll);
    $('progress-view').hidden = true;
    $('send').disabled = false;
  }
}

// The workbook send: the sheets of the uploaded file, the columns of the chosen sheet, the
// template, the engine's preview of the first rows.
let sheets = [];

function option(value, label) {
  const o = document.createElement('option');
  o.value = value;
  o.textContent = label;
  return o;
}

function currentSheet() {
  return sheets.find((s) => s.name === $('sheet').value);
}

function showSheet() {
  const sheet = currentSheet();
  if (!sheet) return;
  $('phone-column').replaceChildren(...sheet.columns.map((c) => option(c, c)));
  const phone = sheet.columns.find((c) => /전화|phone|휴대/i.test(c));
  if (phone) $('phone-column').value = phone;
  $('callback-column').replaceChildren(option('', t('wb.fixed')), ...sheet.columns.map((c) => option(c, c)));
  const head = document.createElement('tr');
  for (const c of sheet.columns) {
    const th = document.createElement('th');
    th.textContent = c;
    head.append(th);
  }
  $('sheet-table').tHead.replaceChildren(head);
  $('sheet-table').tBodies[0].replaceChildren(...sheet.first_rows.map((r) => cells(null, r)));
  $('markers').replaceChildren(...sheet.columns.map((c) => {
    const b = document.createElement('button');
    b.type = 'button';
    b.textContent = c;
    b.addEventListener('click', () => {
      const area = $('template');
      const at = area.selectionStart ?? area.value.length;
      const marker = `[${c}:10]`;
      area.value = area.value.slice(0, at) + marker + area.value.slice(area.selectionEnd ?? at);
      area.focus();
      scheduleWorkbookCount();
    });
    return b;
  }));
  scheduleWorkbookCount();
}

async function uploadWorkbook() {
  const file = $('workbook').files[0];
  if (!file) return;
  const answer = await call('/api/workbook', { workbook: file });
  const problems = $('wb-problems');
  if (!answer.ok) {
    problems.replaceChildren(...answer.problems.map((p) => { const li = document.createElement('li'); li.textContent = p; return li; }));
    return;
  }
  problems.replaceChildren();
  sheets = answer.sheets;
  $('sheet').replaceChildren(...sheets.map((s) => option(s.name, `${s.name} (${s.rows})`)));
  $('workbook-form').hidden = false;
  showSheet();
}

function workbookFields() {
  return {
    sheet: $('sheet').value, phone: $('phone-column').value,
    callback_column: $('callback-column').value, callback: $('callback').value,
    text: $('template').value, title: $('title').value, reserve: $('reserve').value.replace('T', ' '),
    dedupe: $('dedupe').checked ? '1' : '0', rows: currentSheet() ? currentSheet().rows : '0',
  };
}

let workbookTimer = 0;
function scheduleWorkbookCount() {
  clearTimeout(workbookTimer);
  workbookTimer = setTimeout(() => workbookCount().catch(showError), 250);
}

async function workbookCount() {
  const sheet = currentSheet();
  if (!sheet) return;
  let count = sheet.rows;
  if ($('dedupe').checked) {
    const answer = await call('/api/workbook/count', { sheet: sheet.name, column: $('phone-column').value });
    if (answer.ok) count = answer.count;
  }
  $('wb-count').textContent = count;
}

async function previewWorkbook() {
  const answer = await call('/api/workbook/preview', workbookFields());
  const problems = $('wb-problems');
  problems.replaceChildren(...(answer.problems || []).map((p) => { const li = document.createElement('li'); li.textContent = p; return li; }));
  if (!answer.ok) return answer;
  $('wb-bytes').textContent = answer.max_bytes;
  $('wb-kind').textContent = $('pictures').files.length > 0 ? 'MMS' : answer.max_bytes > 90 ? 'LMS' : 'SMS';
  $('preview').tBodies[0].replaceChildren(...answer.rows.map((r) => {
    const tr = cells(null, [r.phone, r.callback, r.text, r.bytes], [3]);
    if (r.bytes > (answer.max_bytes > 90 ? 2000 : 90)) tr.className = 'over';
    return tr;
  }));
  return answer;
}

let pendingSend = null;

// The confirmation, with the web service's answer to the send check; sending waits for a pass.
async function showCheck(count, mode, workbook) {
  $('confirm-check').textContent = '';
  $('confirm-yes').disabled = true;
  $('confirm-view').hidden = false;
  $('result-view').hidden = true;
  const answer = await call('/api/check', {
    count: String(count), mode: String(mode), reserve: $('reserve').value.replace('T', ' '),
    workbook: workbook ? '1' : '0',
  });
  $('confirm-check').textContent = answer.said;
  $('confirm-yes').disabled = !answer.ok;
}
async function askToSendWorkbook() {
  const answer = await previewWorkbook();
  if (!answer || !answer.ok) return;
  pendingSend = () => call('/api/workbook/send', { ...workbookFields(), pictures: [...$('pictures').files] });
  $('confirm-text').textContent = t('confirm')($('wb-count').textContent, $('wb-kind').textContent);
  await showCheck(Number($('wb-count').textContent), { SMS: 1, LMS: 2, MMS: 3 }[$('wb-kind').textContent], true);
}

// The message box: the user's saved messages and the catalogue of ready-made texts, a page at a
// time, each with a button that puts its text into the message.
const box = { kind: 'saved', page: 1, group: '' };

async function showBox() {
  const query = new URLSearchParams({ page: String(box.page), type: 'SMS', group: box.group });
  const answer = await call(`/api/${box.kind === 'saved' ? 'saved' : 'catalogue'}?${query}`);
  $('box').hidden = false;
  $('box-page').textContent = box.page;
  if (answer.groups) {
    $('box-groups').replaceChildren(...answer.groups.map((g) => {
      const b = document.createElement('button');
      b.type = 'button';
      b.textContent = `${g[1] || g[0]} (${g[2] || ''})`;
      b.addEventListener('click', () => { box.group = g[0]; box.page = 1; showBox().catch(showError); });
      return b;
    }));
  } else if (box.kind === 'saved') {
    $('box-groups').replaceChildren();
  }
  // Saved: number, subject, text, kind, time; catalogue: number, group, text.
  const rows = answer.rows || [];
  $('box-list').replaceChildren(...(rows.length ? rows : [null]).map((r) => {
    const li = document.createElement('li');
    const text = document.createElement('span');
    if (!r) { text.textContent = t('box.empty'); li.append(text); return li; }
    text.textContent = r[2] || '';
    const b = document.createElement('button');
    b.type = 'button';
    b.textContent = t('box.insert');
    b.addEventListener('click', () => {
      $('text').value = r[2] || '';
      if (box.kind === 'saved' && r[1]) $('title').value = r[1];
      scheduleCheck();
    });
    li.append(text, b);
    return li;
  }));
}

async function saveText() {
  const answer = await call('/api/save', { text: $('text').value, subject: $('title').value, type: $('kind').textContent === 'SMS' ? 'SMS' : 'LMS' });
  $('box-note').textContent = answer.ok ? answer.answer : (answer.problems || [answer.answer]).join(' ');
}

async function showRecent() {
  const answer = await call('/api/recent');
  $('recent').replaceChildren(...answer.numbers.map((n) => {
    const b = document.createElement('button');
    b.type = 'button';
    b.textContent = n;
    b.addEventListener('click', () => {
      $('to').value = $('to').value.trim() ? `${$('to').value.trim()}\n${n}` : n;
      scheduleCheck();
    });
    return b;
  }));
}

function start() {
  applyLanguage();
  $('lang').addEventListener('click', () => {
    lang = lang === 'ko' ? 'en' : 'ko';
    localStorage.setItem('parley.lang', lang);
    applyLanguage();
    scheduleCheck();
  });
  $('login-form').addEventListener('submit', (e) => login(e).catch(showError));
  $('compose-form').addEventListener('submit', (e) => askToSend(e).catch(showError));
  for (const id of ['text', 'to', 'callback', 'reserve', 'title']) {
    $(id).addEventListener('input', scheduleCheck);
  }
  $('pictures').addEventListener('change', showThumbs);
  $('show-saved').addEventListener('click', () => { Object.assign(box, { kind: 'saved', page: 1, group: '' }); showBox().catch(showError); });
  $('show-catalogue').addEventListener('click', () => { Object.assign(box, { kind: 'catalogue', page: 1, group: '' }); showBox().catch(showError); });
  $('box-prev').addEventListener('click', () => { if (box.page > 1) { box.page -= 1; showBox().catch(showError); } });
  $('box-next').addEventListener('click', () => { box.page += 1; showBox().catch(showError); });
  $('save-text').addEventListener('click', () => saveText().catch(showError));
  $('results-form').addEventListener('submit', (e) => showResults(e).catch(showError));
  $('results-prev').addEventListener('click', () => { if (resultsPage > 1) { resultsPage -= 1; showResults().catch(showError); } });
  $('results-next').addEventListener('click', () => { resultsPage += 1; showResults().catch(showError); });
  $('stats-form').addEventListener('submit', (e) => showStats(e).catch(showError));
  $('confirm-yes').addEventListener('click', () => send());
  $('confirm-no').addEventListener('click', () => { $('confirm-view').hidden = true; pendingSend = null; });
  $('workbook').addEventListener('change', () => uploadWorkbook().catch(showError));
  $('sheet').addEventListener('change', showSheet);
  $('phone-column').addEventListener('change', scheduleWorkbookCount);
  $('dedupe').addEventListener('change', scheduleWorkbookCount);
  $('wb-preview').addEventListener('click', () => previewWorkbook().catch(showError));
  $('wb-send').addEventListener('click', () => askToSendWorkbook().catch(showError));
  $('cancel').addEventListener('click', () => call('/api/cancel', {}).catch(showError));
  $('jobs-refresh').addEventListener('click', () => refreshJobs().catch(showError));
  $('logout').addEventListener('click', async () => {
    await call('/api/logout', {});
    showView(false);
  });
  $('quit').addEventListener('click', async () => {
    await call('/api/quit', {});
    document.body.textContent = lang === 'ko' ? 'Parley를 끝냈습니다.' : 'Parley has ended.';
  });
  refreshState().catch(showError);
}

start();
