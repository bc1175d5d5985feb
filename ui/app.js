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
    'compose.send': '보내기', 'confirm.title': '보내기 전 확인', 'confirm.yes': '보내기',
    'confirm.no': '취소', 'progress.title': '보내는 중', 'progress.cancel': '전송 중지',
    'result.title': '결과', 'jobs.title': '최근 작업', 'jobs.refresh': '새로 고침',
    'jobs.id': '작업', 'jobs.kind': '종류', 'jobs.subject': '제목', 'jobs.total': '전체',
    'jobs.ack': '확인', 'jobs.doubt': '불확실', 'jobs.notsent': '미전송', 'jobs.ending': '종료',
    confirm: (n, kind) => `${kind} ${n}건을 보냅니다.`,
    progress: (s, t) => `${t}건 중 ${s}건 전송`,
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
    'compose.send': 'Send', 'confirm.title': 'Before sending', 'confirm.yes': 'Send',
    'confirm.no': 'Cancel', 'progress.title': 'Sending', 'progress.cancel': 'Stop sending',
    'result.title': 'Result', 'jobs.title': 'Recent jobs', 'jobs.refresh': 'Refresh',
    'jobs.id': 'Job', 'jobs.kind': 'Kind', 'jobs.subject': 'Title', 'jobs.total': 'Total',
    'jobs.ack': 'Acknowledged', 'jobs.doubt': 'In doubt', 'jobs.notsent': 'Not sent',
    'jobs.ending': 'Ended',
    confirm: (n, kind) => `Send ${n} ${kind} message(s).`,
    progress: (s, t) => `${s} of ${t} sent`,
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
      for (const [k, v] of Object.entries(fields)) form.append(k, v);
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

function composeFields() {
  return {
    title: $('title').value, text: $('text').value, callback: $('callback').value,
    to: $('to').value, reserve: $('reserve').value.replace('T', ' '),
  };
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
  $('count').textContent = answer.recipients.length;
  const list = $('problems');
  list.replaceChildren(...answer.problems.map((p) => {
    const li = document.createElement('li');
    li.textContent = p;
    return li;
  }));
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
  if (state.logged_in) refreshJobs().catch(showError);
  else {
    const saved = await call('/api/saved-id');
    if (saved.id) { $('login-id').value = saved.id; $('login-save').checked = true; }
  }
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
}

async function askToSend(event) {
  event.preventDefault();
  const answer = await checkCompose();
  if (!answer.ok) return;
  $('confirm-text').textContent = t('confirm')(answer.recipients.length, answer.kind);
  $('confirm-view').hidden = false;
  $('result-view').hidden = true;
}

async function send() {
  $('confirm-view').hidden = true;
  $('progress-view').hidden = false;
  $('send').disabled = true;
  const poll = setInterval(async () => {
    try {
      const state = await call('/api/state');
      const job = state.job;
      if (job.state === 'running' && job.total > 0) {
        $('progress').value = Math.round((100 * job.sent) / job.total);
        $('progress-text').textContent = t('progress')(job.sent, job.total);
      }
    } catch (e) { /* the send's own answer tells */ }
  }, 250);
  try {
    const answer = await call('/api/send', composeFields());
    $('result-text').textContent = answer.text || (answer.problems || []).join('\n');
    $('result-view').hidden = false;
    showAccount(answer.account);
    refreshJobs().catch(showError);
  } catch (e) {
    showError(e);
  } finally {
    clearInterval(poll);
    $('progress-view').hidden = true;
    $('send').disabled = false;
  }
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
  $('confirm-yes').addEventListener('click', () => send());
  $('confirm-no').addEventListener('click', () => { $('confirm-view').hidden = true; });
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
