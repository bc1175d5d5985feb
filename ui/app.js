// The page of parley-ui. Every rule (numbers, byte counts, kinds, reservations) is checked by the
// server with the client core; the page shows what it answers, in Korean or English.
'use strict';

const texts = {
  ko: {
    'lang.switch': 'English', logout: '로그아웃', quit: '끝내기',
    'file.choose': '파일 선택', 'file.none': '선택한 파일 없음', 'file.count': (n) => `파일 ${n}개`,
    'reserve.example': '예: 2026-12-24 14:00', 'date.example': '예: 2026-12-01', 'month.example': '예: 2026-12',
    quitRunning: '지금 보내는 중인 문자가 있습니다. 끝내면 다음 확인 지점(50건 단위)에서 멈추고, 나머지는 보내지 않습니다. 끝낼까요?',
    'login.title': '로그인', 'login.id': '아이디', 'login.password': '비밀번호',
    'login.save': '아이디 저장', 'login.submit': '로그인',
    'compose.title': '메시지 작성', 'compose.subject': '제목', 'compose.text': '내용',
    'compose.callback': '회신번호', 'compose.reserve': '예약 (비우면 즉시)',
    'compose.to': '받는 사람 (쉼표나 줄바꿈으로 구분)', 'compose.count': '받는 사람',
    'compose.send': '보내기', 'compose.pictures': '사진 (JPEG, 한 장에 300 KB까지, 3장까지)',
    'compose.groups': '주소록 그룹', 'results.title': '전송 결과', 'results.from': '시작일',
    'results.to': '종료일', 'results.show': '보기', 'results.time': '시간', 'results.result': '결과',
    'wb.title': '엑셀 개인화 전송', 'wb.file': '엑셀 파일 (xlsx, xls, ods, csv)', 'wb.sheet': '시트',
    'wb.phone': '전화번호 열', 'wb.callback': '회신번호',
    'wb.template': '내용 (열 이름을 누르면 [열:바이트]를 넣습니다)', 'wb.dedupe': '같은 번호는 한 번만',
    'wb.width.help': '[열:바이트]의 숫자는 그 값에 쓸 수 있는 바이트 수입니다 (한글 한 글자 2바이트, 영문·숫자 1바이트). 넘는 부분은 잘립니다. 열 이름을 누르면 그 열에서 가장 긴 값에 맞춘 숫자를 넣습니다.',
    widthNote: (c, n) => `'${c}' 열의 가장 긴 값은 ${n}바이트입니다 → [${c}:${n}]`,
    widthUnknown: (c) => `'${c}' 열의 길이를 잴 수 없어 10바이트로 넣었습니다 → [${c}:10]. 잘리는 값은 보내기 전 확인에서 보여 드립니다.`,
    checkPassed: '잔액과 발송 한도를 확인했습니다. 보낼 수 있습니다.',
    'wb.messages': '보낼 메시지', 'wb.check': '확인하고 보내기',
    'wb.skip': '오류 행 빼고 보내기', 'wb.allowcut': '잘린 채 보내기',
    'check.row': '행', 'check.cell': '셀 내용', 'check.reason': '이유', 'check.column': '열',
    'check.value': '값', 'check.kept': '보내는 값', 'check.emptyCell': '(빈 칸)',
    checkRows: (c) => `엑셀 ${num(c.rows)}행을 모두 확인했습니다.`,
    checkMessages: (c) => `보낼 메시지: ${num(c.messages)}건 (${c.kind}) · 가장 긴 메시지 ${num(c.largest)}바이트`,
    checkKinds: (c) => `SMS ${num(c.sms_rows)}건 · LMS ${num(c.lms_rows)}건`,
    checkDuplicates: (n) => `같은 번호가 다시 나온 ${num(n)}행은 빼고, 번호마다 한 번만 보냅니다.`,
    checkOptedOut: (n) => `수신거부 ${num(n)}명 제외`,
    checkCallback: (c) => `회신번호: ${c.callback}`,
    faultsTitle: (n) => `번호가 잘못된 행 ${num(n)}개 — 이 행들은 보내지 않습니다`,
    cutsTitle: (rows, bytes) => `값이 잘리는 메시지 ${num(rows)}건 (모두 ${num(bytes)}바이트가 잘립니다)`,
    unencodableTitle: (n) => `보낼 수 없는 글자가 든 메시지 ${num(n)}건 — 그 글자는 ?로 바뀝니다`,
    unencodableRow: (u) => `${u.row}행 '${u.column}' 열`,
    more: (n) => `… 외 ${num(n)}개`,
    cutValue: (v, b) => `${v} (${b}바이트)`,
    'problem.phone.empty': '전화번호 칸이 비어 있습니다',
    'problem.phone.not-digits': '전화번호가 아닙니다 (숫자가 아닌 글자)',
    'problem.phone.not-mobile': '휴대전화 번호가 아닙니다 (문자를 받을 수 없는 번호)',
    'problem.callback.empty': '회신번호 칸이 비어 있습니다',
    'problem.callback.not-digits': '회신번호가 아닙니다 (숫자가 아닌 글자)',
    'problem.callback.not-callback': '회신번호로 쓸 수 없는 번호입니다',
    'block.callback': '위의 회신번호를 쓸 수 없습니다. 회신번호를 고쳐 주세요.',
    'block.no-messages': '보낼 수 있는 행이 없습니다.',
    'block.invalid-rows': '번호가 잘못된 행이 있어 이대로는 보낼 수 없습니다. 그 행만 빼고 보내려면 "오류 행 빼고 보내기"를 선택하세요.',
    'block.cut-values': '잘리는 값이 있습니다. 바이트 수를 늘리거나, 잘린 채 보내려면 "잘린 채 보내기"를 선택하세요.',
    'block.too-long': '2,000바이트를 넘는 메시지가 있어 보낼 수 없습니다. 내용을 줄여 주세요.',
    'error.unreadable': '엑셀 파일을 읽을 수 없습니다. 파일을 다시 올려 주세요.',
    'error.pictures': '보낼 수 없는 사진이 있습니다. 사진 옆의 안내를 확인해 주세요.',
    'pic.ok': '보낼 수 있습니다',
    'pic.not-jpeg': 'JPEG 사진이 아닙니다 (파일 이름이 아니라 내용으로 확인합니다). JPEG로 저장해서 다시 고르세요.',
    'pic.too-large': (max) => `너무 큽니다. 사진 한 장은 ${kb(max)}까지입니다 (국내 통신사가 MMS 사진을 한 장에 300 KB까지만 받습니다). 줄여서 다시 고르세요.`,
    'pic.unreadable': '읽을 수 없는 파일입니다.',
    picTooMany: (n, max) => `사진을 ${n}장 골랐습니다. 한 번에 ${max}장까지 보낼 수 있습니다.`,
    picSize: (b) => kb(b),
    when: (w) => `${w.y}년 ${w.m}월 ${w.d}일 (${'일월화수목금토'[w.day]}) ${w.hh}:${w.mm}`,
    reservedConfirm: (w) => `${w}에 예약 발송합니다.`,
    nowConfirm: '보내기를 누르면 바로 보냅니다.',
    sent: (n) => `${num(n)}건을 보냈습니다.`,
    reserved: (w, n) => `${num(n)}건을 ${w}에 보내도록 예약했습니다.`,
    leftOut: (n) => `번호가 잘못된 ${num(n)}개 행은 보내지 않았습니다.`,
    ended: (s, n) => `${num(n)}건 중 ${num(s)}건을 보내고 멈췄습니다.`,
    'wb.ad': '광고 문자 (내용은 (광고)와 사업자명으로 시작하고 무료수신거부 번호로 끝나야 합니다)',
    'wb.max': '최대', 'table.no': '번호', 'unit.bytes': '바이트', 'wb.preview': '미리 보기', 'wb.fixed': '아래 회신번호', 'wb.callbackNumber': '회신번호 (모든 행에 같은 번호)', 'wb.pictures': '사진을 붙이면 MMS로 보냅니다 (JPEG, 3장까지)',
    'box.saved': '저장한 메시지', 'box.catalogue': '문자 카탈로그', 'box.save': '이 메시지 저장',
    'box.insert': '넣기', 'box.empty': '없습니다', 'results.all': '전체',
    'stats.title': '일별 사용량', 'stats.from': '시작 월', 'stats.to': '종료 월',
    totals: (t) => `전체 ${t[0]}건 · 성공 ${t[1]}건 · 실패 ${t[2]}건 · 대기 ${t[3]}건`,
    members: (n) => `${n}명`,
    'confirm.title': '보내기 전 확인', 'confirm.yes': '보내기',
    'confirm.no': '취소', 'progress.title': '보내는 중', 'progress.cancel': '전송 중지',
    'result.title': '결과', 'jobs.title': '최근 작업', 'jobs.refresh': '새로 고침',
    'jobs.id': '작업', 'jobs.kind': '종류', 'jobs.subject': '제목', 'jobs.total': '전체',
    'jobs.ack': '확인', 'jobs.doubt': '불확실', 'jobs.notsent': '미전송', 'jobs.ending': '종료',
    endings: { running: '보내는 중', done: '완료', cancelled: '취소됨', refused: '게이트웨이 거절', 'no-answer': '응답 없음',
      closed: '연결 끊김', nack: '전송 실패 응답', failed: '실패', interrupted: '중단됨' },
    confirm: (n, kind) => `${kind} ${n}건을 보냅니다.`,
    progress: (s, t, rate, left) => `${t}건 중 ${s}건 전송 · 초당 ${rate}건 · 남은 시간 ${left}`,
    account: (a) => `${a.name} (${a.grade}) · ${a.amount} · SMS ${num(a.sms)} / LMS ${num(a.lms)} / MMS ${num(a.mms)}`,
    noEngine: '엔진이 응답하지 않습니다',
    'numbers.removeBad': '잘못된 번호 빼기',
    'ad.kind': '문자 종류', 'ad.normal': '일반', 'ad.advert': '광고', 'ad.insert': '광고 표시와 수신거부 문구 넣기',
    'ad.help': '광고 문자는 맨 앞에 (광고)와 사업자명, 끝에 무료수신거부 번호를 넣어야 하고, 밤 9시부터 아침 8시까지는 보낼 수 없습니다 (정보통신망법 제50조).',
    'ad.night': '받는 사람 모두에게서 야간 광고 수신 동의를 따로 받았습니다 (보낼 때마다 다시 확인합니다)',
    'compose.testSend': '내 번호로 먼저 보내 보기', testNoOwn: '설정에서 내 휴대폰 번호를 먼저 적어 주세요.',
    testSent: (n) => `${n}(으)로 보냈습니다. 받은 문자를 확인해 보세요.`, testConfirm: (n) => `이 문자를 내 번호 ${n}(으)로 먼저 보냅니다.`,
    'settings.business': '사업자명 (광고 문자의 (광고) 뒤에 넣습니다)', 'settings.optout': '무료수신거부 번호 (080)',
    'settings.own': '내 휴대폰 번호 (먼저 보내 보기에 씁니다)', 'settings.applies': '수신거부 목록을 적용할 문자',
    'settings.appliesAd': '광고 문자만', 'settings.appliesAll': '모든 문자', 'settings.save': '저장', settingsSaved: '저장했습니다.',
    'callbacks.title': '발신번호 (등록된 회신번호)', 'callbacks.add': '등록', 'callbacks.new': '예: 02-123-4567', 'callbacks.remove': '지우기',
    'callbacks.help': '문자 서비스에 등록한 번호만 회신번호로 쓸 수 있습니다 (전기통신사업법 제84조의2). 등록한 번호가 있으면 다른 번호로는 보내지 않습니다.',
    callbacksNone: '등록한 발신번호가 없습니다.',
    'optout.title': '수신거부 목록', 'optout.numbers': '번호 (쉼표나 줄바꿈으로 여러 개)', 'optout.note': '메모', 'optout.add': '목록에 넣기',
    'optout.import': '파일에서 가져오기', 'optout.export': 'CSV로 내보내기', 'optout.when': '넣은 때', 'optout.remove': '빼기',
    'optout.help': '이 목록의 번호로는 광고 문자를 보내지 않습니다 (설정에서 모든 문자로 넓힐 수 있습니다). 보낼 때 빠진 번호는 확인 화면과 전송 기록에 나옵니다.',
    optoutCount: (n) => `수신거부 번호 ${num(n)}개`, optoutAdded: (a) => `${num(a.added)}개를 넣었습니다` + (a.already ? ` (이미 있던 번호 ${num(a.already)}개)` : '') + '.',

    'nav.send': '문자 보내기', 'nav.workbook': '엑셀 보내기', 'nav.book': '주소록', 'nav.results': '전송 결과',
    'nav.reserved': '예약', 'nav.settings': '설정', 'result.close': '닫기', 'jobs.time': '시간',
    'job.search': '번호 찾기', 'job.state': '상태', 'job.csv': 'CSV로 받기', 'job.xlsx': '엑셀로 받기',
    'job.rest': '나머지 보내기', 'job.doubt': '확인 안 된 번호도 보내기', 'job.place': '순서', 'job.number': '번호',
    'job.open': '자세히', 'state.acknowledged': '전송 확인', 'state.in doubt': '확인 안 됨', 'state.not sent': '보내지 않음',
    'state.left out': '제외됨',
    jobTitle: (j) => `작업 #${j.id} · ${j.kind} · ${j.title || '제목 없음'}`,
    jobFacts: (j) => `${when(j.started)} 시작 · 전체 ${num(j.total)}건 · 전송 확인 ${num(j.acknowledged)}건 · 확인 안 됨 ${num(j.in_doubt)}건 · 보내지 않음 ${num(j.not_sent)}건`
      + (j.left_out ? ` · 제외 ${num(j.left_out)}행` : '') + (j.reserve ? ` · ${reserveWords(j.reserve)} 예약` : ''),
    jobMatching: (shown, n) => (n > shown ? `${num(n)}건 중 ${num(shown)}건을 보여 드립니다. 번호로 찾아 보세요.` : ''),
    jobNone: '해당하는 수신자가 없습니다.',
    restConfirm: (j, doubt) => `작업 #${j.id}의 보내지 않은 ${num(j.not_sent)}건${doubt ? `과 확인 안 된 ${num(j.in_doubt)}건` : ''}을 새 작업으로 보낼까요?`
      + (doubt ? ' 확인 안 된 번호는 이미 받았을 수도 있어 두 번 받을 수 있습니다.' : ''),
    restSent: (a) => `작업 #${a.job}(으)로 ${num(a.sent)}건을 보냈습니다.`,
    restNothing: '다시 보낼 번호가 없습니다.',
    jobsEmpty: '아직 보낸 작업이 없습니다.', loading: '불러오는 중…', resultsEmpty: '이 기간에 보낸 문자가 없습니다.',
    'book.title': '주소록', 'book.groups': '그룹', 'book.newGroup': '새 그룹 이름', 'book.addGroup': '그룹 추가',
    'book.pickGroup': '그룹을 고르세요', 'book.search': '찾기 (이름이나 번호)', 'book.name': '이름',
    'book.phone': '휴대폰 번호', 'book.addContact': '추가', 'book.actions': '관리', 'book.empty': '이 그룹에 연락처가 없습니다.',
    'book.import': '엑셀에서 가져오기', 'book.export': 'CSV로 내보내기', 'book.removeGroup': '이 그룹 지우기',
    'book.edit': '고치기', 'book.save': '저장', 'book.cancel': '취소', 'book.remove': '지우기', 'book.move': '옮기기…',
    'book.noGroups': '그룹이 없습니다. 아래에서 그룹을 만드세요.',
    bookGroupTitle: (g, n) => `${g} (${num(n)}명)`,
    bookRemoveGroup: (g, n) => `"${g}" 그룹과 연락처 ${num(n)}개를 지울까요? 되돌릴 수 없습니다.`,
    bookRemoveContact: (c) => `${c.name} (${c.phone})을(를) 지울까요?`,
    bookImported: (n, bad) => `${num(n)}명을 가져왔습니다.` + (bad ? ` 휴대폰 번호가 아닌 ${num(bad)}행은 빼고 가져왔습니다:` : ''),
    bookRow: (v) => `${v.line}행: ${said(v)}`,
    'reserved.title': '예약 문자', 'reserved.when': '보낼 시각', 'reserved.empty': '예약한 문자가 없습니다.',
    'reserved.help': '예약한 문자는 정한 시각에 보내집니다. 아래는 이 컴퓨터에서 예약한 작업입니다.',
    'settings.title': '설정', 'settings.language': '화면 언어',
    busyOther: (j) => `다른 창이나 qx에서 문자를 보내는 중입니다 (${num(j.total)}건 중 ${num(j.sent)}건). 끝나면 보낼 수 있습니다.`,

    'http.unreachable': 'Parley에 연결할 수 없습니다. Parley가 끝났다면 다시 시작해 주세요.',
    'http.403': '이 창의 접속이 끝났습니다. Parley를 다시 열어 주세요.',
    'http.413': '파일이 너무 큽니다.',
    'http.408': '요청이 너무 오래 걸려 끊겼습니다. 다시 해 주세요.',
    'http.other': '요청을 처리하지 못했습니다. 다시 해 주세요.',
    numberCounts: (c) => `입력 ${num(c.typed)}개 · 올바른 번호 ${num(c.valid)}개`
      + (c.duplicates ? ` · 중복 제거 ${num(c.duplicates)}개` : '') + (c.invalid ? ` · 잘못된 번호 ${num(c.invalid)}개` : ''),
  },
  en: {
    'lang.switch': '한국어', logout: 'Log out', quit: 'Quit',
    'file.choose': 'Choose file', 'file.none': 'No file chosen', 'file.count': (n) => `${n} files`,
    'reserve.example': 'e.g. 2026-12-24 14:00', 'date.example': 'e.g. 2026-12-01', 'month.example': 'e.g. 2026-12',
    quitRunning: 'A send is running. Quitting stops it at its next acknowledgement (every 50 messages) and the rest is not sent. Quit?',
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
    'wb.template': 'Text (click a column to insert [column:bytes])', 'wb.dedupe': 'Each number once',
    'wb.width.help': 'The number in [column:bytes] is how many bytes of the value go into the message (a Korean letter takes 2 bytes, a Latin letter or digit 1); the rest is cut. Clicking a column inserts the bytes of its longest value.',
    widthNote: (c, n) => `The longest value of "${c}" has ${n} bytes → [${c}:${n}]`,
    checkPassed: 'Balance and sending limits checked: it can go.',
    widthUnknown: (c) => `The values of "${c}" could not be measured: [${c}:10] inserted. Values cut are shown before sending.`,
    'wb.messages': 'Messages', 'wb.check': 'Check and send',
    'wb.skip': 'Leave out rows with errors', 'wb.allowcut': 'Send with the values cut',
    'check.row': 'Row', 'check.cell': 'Cell', 'check.reason': 'Why', 'check.column': 'Column',
    'check.value': 'Value', 'check.kept': 'Sent as', 'check.emptyCell': '(empty)',
    checkRows: (c) => `All ${num(c.rows)} rows of the sheet checked.`,
    checkMessages: (c) => `Messages to send: ${num(c.messages)} (${c.kind}) · the longest ${num(c.largest)} bytes`,
    checkKinds: (c) => `SMS ${num(c.sms_rows)} · LMS ${num(c.lms_rows)}`,
    checkDuplicates: (n) => `${num(n)} row(s) repeat a number and are left out: each number once.`,
    checkOptedOut: (n) => `${num(n)} on the opt-out list left out`,
    checkCallback: (c) => `Callback: ${c.callback}`,
    faultsTitle: (n) => `${num(n)} row(s) with a wrong number — these are not sent`,
    cutsTitle: (rows, bytes) => `${num(rows)} message(s) with a value cut (${num(bytes)} bytes in all)`,
    unencodableTitle: (n) => `${num(n)} message(s) with characters that cannot be sent — they become ?`,
    unencodableRow: (u) => `row ${u.row}, column "${u.column}"`,
    more: (n) => `… and ${num(n)} more`,
    cutValue: (v, b) => `${v} (${b} bytes)`,
    'problem.phone.empty': 'the phone cell is empty',
    'problem.phone.not-digits': 'not a phone number (not digits)',
    'problem.phone.not-mobile': 'not a mobile number (cannot take text messages)',
    'problem.callback.empty': 'the callback cell is empty',
    'problem.callback.not-digits': 'not a callback number (not digits)',
    'problem.callback.not-callback': 'not a number replies can reach',
    'block.callback': 'The callback number above cannot be used. Please correct it.',
    'block.no-messages': 'No row can be sent.',
    'block.invalid-rows': 'Some rows have wrong numbers, so this cannot be sent as it is. To send the other rows, tick "Leave out rows with errors".',
    'block.cut-values': 'Some values would be cut. Give the marker more bytes, or tick "Send with the values cut".',
    'block.too-long': 'A message is over 2,000 bytes and cannot be sent. Please shorten the text.',
    'error.unreadable': 'The workbook cannot be read. Please upload it again.',
    'error.pictures': 'A picture cannot be sent. See the note beside it.',
    'pic.ok': 'can be sent',
    'pic.not-jpeg': 'not a JPEG picture (judged by its content, not its name). Save it as JPEG and choose it again.',
    'pic.too-large': (max) => `too large: a picture may have at most ${kb(max)} (Korean carriers take MMS pictures of at most 300 KB each). Make it smaller and choose it again.`,
    'pic.unreadable': 'the file cannot be read.',
    picTooMany: (n, max) => `${n} pictures chosen: at most ${max} go in one message.`,
    picSize: (b) => kb(b),
    when: (w) => `${['Sun', 'Mon', 'Tue', 'Wed', 'Thu', 'Fri', 'Sat'][w.day]} ${w.d} ${['January', 'February', 'March', 'April', 'May', 'June', 'July', 'August', 'September', 'October', 'November', 'December'][w.m - 1]} ${w.y}, ${w.hh}:${w.mm}`,
    reservedConfirm: (w) => `Reserved: it goes on ${w}.`,
    nowConfirm: 'It goes as soon as you press Send.',
    sent: (n) => `${num(n)} message(s) sent.`,
    reserved: (w, n) => `${num(n)} message(s) reserved for ${w}.`,
    leftOut: (n) => `${num(n)} row(s) with a wrong number were not sent.`,
    ended: (s, n) => `Stopped after ${num(s)} of ${num(n)}.`,
    'wb.ad': 'Advertising (the text must begin with (광고) and the business name and end with the free opt-out number)',
    'wb.max': 'at most', 'table.no': 'No', 'unit.bytes': 'bytes', 'wb.preview': 'Preview', 'wb.fixed': 'The number below', 'wb.callbackNumber': 'Callback (the same for every row)', 'wb.pictures': 'Pictures make it an MMS send (JPEG, up to 3)',
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
    endings: { running: 'sending', done: 'done', cancelled: 'cancelled', refused: 'refused by the gateway',
      'no-answer': 'no answer', closed: 'connection closed', nack: 'refused messages', failed: 'failed',
      interrupted: 'interrupted' },
    confirm: (n, kind) => `Send ${n} ${kind} message(s).`,
    progress: (s, t, rate, left) => `${s} of ${t} sent · ${rate}/s · ${left} left`,
    account: (a) => `${a.name} (${a.grade}) · ${a.amount} · SMS ${num(a.sms)} / LMS ${num(a.lms)} / MMS ${num(a.mms)}`,
    noEngine: 'The engine does not answer',
    'numbers.removeBad': 'Remove the wrong numbers',
    'ad.kind': 'Kind', 'ad.normal': 'Ordinary', 'ad.advert': 'Advertising', 'ad.insert': 'Insert the advertising marker and opt-out line',
    'ad.help': 'An advertising message must begin with (광고) and the business name and end with a free opt-out number, and may not go from 21:00 to 08:00 (Korean law, 정보통신망법 제50조).',
    'ad.night': 'Every recipient agreed separately to advertising at night (asked again at each send)',
    'compose.testSend': 'Send it to my own number first', testNoOwn: 'Write your own mobile number in the settings first.',
    testSent: (n) => `Sent to ${n}. Check the message you got.`, testConfirm: (n) => `This message goes to your own number ${n} first.`,
    'settings.business': 'Business name (after (광고) in advertising messages)', 'settings.optout': 'Free opt-out number (080)',
    'settings.own': 'My mobile number (for a test send)', 'settings.applies': 'The opt-out list covers',
    'settings.appliesAd': 'advertising messages', 'settings.appliesAll': 'every message', 'settings.save': 'Save', settingsSaved: 'Saved.',
    'callbacks.title': 'Registered callback numbers', 'callbacks.add': 'Register', 'callbacks.new': 'e.g. 02-123-4567', 'callbacks.remove': 'Remove',
    'callbacks.help': 'Only numbers registered with the service may be callbacks (Korean law, 전기통신사업법 제84조의2). Once any is registered, no other is sent.',
    callbacksNone: 'No callback numbers registered.',
    'optout.title': 'Opt-out list', 'optout.numbers': 'Numbers (commas or one a line)', 'optout.note': 'Note', 'optout.add': 'Add to the list',
    'optout.import': 'Import a file', 'optout.export': 'Export CSV', 'optout.when': 'Added', 'optout.remove': 'Remove',
    'optout.help': 'Advertising messages never go to these numbers (the settings can make it every message). Numbers left out are shown before sending and in the journal.',
    optoutCount: (n) => `${num(n)} opted-out number(s)`, optoutAdded: (a) => `${num(a.added)} added` + (a.already ? ` (${num(a.already)} were on it)` : '') + '.',

    'nav.send': 'Send a message', 'nav.workbook': 'Send from Excel', 'nav.book': 'Address book', 'nav.results': 'Results',
    'nav.reserved': 'Reserved', 'nav.settings': 'Settings', 'result.close': 'Close', 'jobs.time': 'Time',
    'job.search': 'Find a number', 'job.state': 'State', 'job.csv': 'Download CSV', 'job.xlsx': 'Download Excel',
    'job.rest': 'Send the rest', 'job.doubt': 'Also send to those in doubt', 'job.place': 'Place', 'job.number': 'Number',
    'job.open': 'Details', 'state.acknowledged': 'acknowledged', 'state.in doubt': 'in doubt', 'state.not sent': 'not sent',
    'state.left out': 'left out',
    jobTitle: (j) => `Job #${j.id} · ${j.kind} · ${j.title || 'no title'}`,
    jobFacts: (j) => `started ${when(j.started)} · ${num(j.total)} in all · ${num(j.acknowledged)} acknowledged · ${num(j.in_doubt)} in doubt · ${num(j.not_sent)} not sent`
      + (j.left_out ? ` · ${num(j.left_out)} row(s) left out` : '') + (j.reserve ? ` · reserved for ${reserveWords(j.reserve)}` : ''),
    jobMatching: (shown, n) => (n > shown ? `Showing ${num(shown)} of ${num(n)}. Search by number to find one.` : ''),
    jobNone: 'No recipient matches.',
    restConfirm: (j, doubt) => `Send the ${num(j.not_sent)} not sent${doubt ? ` and the ${num(j.in_doubt)} in doubt` : ''} of job #${j.id} as a new job?`
      + (doubt ? ' Those in doubt may have had the message already and may get it twice.' : ''),
    restSent: (a) => `Sent ${num(a.sent)} as job #${a.job}.`,
    restNothing: 'There is nothing left to send.',
    jobsEmpty: 'No jobs sent yet.', loading: 'Loading…', resultsEmpty: 'Nothing was sent in this period.',
    'book.title': 'Address book', 'book.groups': 'Groups', 'book.newGroup': 'New group name', 'book.addGroup': 'Add group',
    'book.pickGroup': 'Choose a group', 'book.search': 'Find (name or number)', 'book.name': 'Name',
    'book.phone': 'Mobile number', 'book.addContact': 'Add', 'book.actions': 'Manage', 'book.empty': 'This group has no contacts.',
    'book.import': 'Import from Excel', 'book.export': 'Export CSV', 'book.removeGroup': 'Delete this group',
    'book.edit': 'Edit', 'book.save': 'Save', 'book.cancel': 'Cancel', 'book.remove': 'Delete', 'book.move': 'Move to…',
    'book.noGroups': 'No groups yet. Make one below.',
    bookGroupTitle: (g, n) => `${g} (${num(n)})`,
    bookRemoveGroup: (g, n) => `Delete the group "${g}" and its ${num(n)} contact(s)? This cannot be undone.`,
    bookRemoveContact: (c) => `Delete ${c.name} (${c.phone})?`,
    bookImported: (n, bad) => `${num(n)} contact(s) imported.` + (bad ? ` ${num(bad)} row(s) without a mobile number were left out:` : ''),
    bookRow: (v) => `row ${v.line}: ${said(v)}`,
    'reserved.title': 'Reserved messages', 'reserved.when': 'Goes at', 'reserved.empty': 'No reserved messages.',
    'reserved.help': 'Reserved messages go at the time set. These are the jobs reserved from this computer.',
    'settings.title': 'Settings', 'settings.language': 'Language',
    busyOther: (j) => `Another window or qx is sending (${num(j.sent)} of ${num(j.total)}). You can send when it has finished.`,

    'http.unreachable': 'Parley cannot be reached. If it has ended, start it again.',
    'http.403': 'This window\'s session has ended. Open Parley again.',
    'http.413': 'The file is too large.',
    'http.408': 'The request took too long and was cut off. Please try again.',
    'http.other': 'The request could not be done. Please try again.',
    numberCounts: (c) => `${num(c.typed)} typed · ${num(c.valid)} valid`
      + (c.duplicates ? ` · ${num(c.duplicates)} duplicate(s) removed` : '') + (c.invalid ? ` · ${num(c.invalid)} wrong` : ''),
  },
};

let lang = localStorage.getItem('parley.lang') === 'en' ? 'en' : 'ko';
const $ = (id) => document.getElementById(id);
const num = (n) => { const x = Number(String(n).replace(/,/g, '')); return Number.isFinite(x) ? x.toLocaleString('en-US') : n; };
const kb = (b) => `${Math.ceil(Number(b) / 1024).toLocaleString('en-US')} KB`;
const t = (key) => texts[lang][key];
// A verdict of the server in the page's language (it sends both); a plain text as it is.
const said = (v) => (typeof v === 'string' ? v : v && v.text ? v.text[lang] : '');
// A verdict with where its item stands ("3번째 줄: ...") when the number box names it.
const verdictLine = (v) => (v && v.where ? `${v.where[lang]}: ${said(v)}` : said(v));
const listItems = (id, texts) => $(id).replaceChildren(...texts.map((p) => {
  const li = document.createElement('li');
  li.textContent = p;
  return li;
}));

function applyLanguage() {
  document.documentElement.lang = lang;
  for (const el of document.querySelectorAll('[data-t]')) el.textContent = t(el.dataset.t);
  for (const el of document.querySelectorAll('[data-tp]')) el.placeholder = t(el.dataset.tp);
  for (const id of ['pictures', 'workbook', 'wb-pictures']) showFileNames(id);
}

// The names of the files chosen in a picker, in the page's words (the browser's own control is
// hidden: it speaks the browser's language, not the page's).
function showFileNames(id) {
  const files = [...$(id).files];
  $(`${id}-name`).textContent = files.length === 0 ? t('file.none')
    : files.length === 1 ? files[0].name : `${t('file.count')(files.length)}: ${files.map((f) => f.name).join(', ')}`;
}

async function call(path, fields) {
  const options = { headers: { 'X-Parley-Lang': lang } };
  if (fields) {
    options.method = 'POST';
    if (Object.keys(fields).length > 0) {
      const form = new FormData();
      for (const [k, v] of Object.entries(fields)) {
        if (v === undefined) continue;
        for (const item of Array.isArray(v) ? v : [v]) form.append(k, item);
      }
      options.body = form;
    }
  }
  let res;
  try {
    res = await fetch(path, options);
  } catch (e) {
    throw new Error(t('http.unreachable'));
  }
  if (res.status === 503) throw new Error(t('noEngine'));
  // The door's and the server's own refusals are plain text: said in the page's words instead.
  if (!(res.headers.get('Content-Type') || '').includes('application/json')) {
    throw new Error(t(`http.${res.status}`) || t('http.other'));
  }
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
  $('tabs').hidden = !loggedIn;
  $('logout').hidden = !loggedIn;
  if (!loggedIn) $('account').hidden = true;
}

function chosenGroups() {
  return [...document.querySelectorAll('#groups input:checked')];
}

function composeFields() {
  return {
    title: $('title').value, text: $('text').value, callback: $('callback').value,
    to: testTarget || $('to').value, reserve: $('reserve').value.replace('T', ' '),
    ad: $('ad-advert').checked ? '1' : '0', night: $('night-consent').checked ? '1' : '0',
    groups: testTarget ? '' : chosenGroups().map((box) => box.value).join('\n'),
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
  showCompose();
  return answer;
}

// The last check of the message in the page's language: the byte counter and kind, and the
// number box (the counts, one line per wrong number with its line, the button that removes them).
function showCompose() {
  const answer = lastCheck;
  if (!answer) return;
  $('bytes').textContent = num(answer.bytes);
  $('limit').textContent = num(answer.limit);
  $('kind').textContent = answer.kind;
  $('bytes').parentElement.classList.toggle('over', answer.bytes > answer.limit);
  $('count').textContent = num(answer.recipients.length + groupMembers());
  const c = answer.counts;
  $('number-box').hidden = c.typed === 0 && answer.problems.length === 0;
  $('number-counts').textContent = c.typed ? t('numberCounts')(c) : '';
  listItems('problems', answer.problems.map(verdictLine));
  listItems('notes', (answer.notes || []).map(said));
  $('remove-bad').hidden = !answer.problems.some((p) => p.field === 'to' && p.line > 0);
}

// Takes the wrong numbers out of the box: the items the last check refused, by their line and
// place on it; the rest stay, each line's items joined by ", ".
async function removeBadNumbers() {
  const answer = await checkCompose();
  const bad = new Set(answer.problems.filter((p) => p.field === 'to' && p.line > 0)
    .map((p) => `${p.line}:${p.position}`));
  if (bad.size === 0) return;
  const lines = $('to').value.split(/\r?\n/).map((line, l) => line.split(/[,;\t]/)
    .map((item, i) => (bad.has(`${l + 1}:${i + 1}`) ? '' : item.trim()))
    .filter((item) => item !== '').join(', '));
  $('to').value = lines.filter((line) => line !== '').join('\n');
  await checkCompose();
}
function scheduleCheck() {
  clearTimeout(checkTimer);
  checkTimer = setTimeout(() => checkCompose().catch(showError), 250);
}

function showError(error) {
  $('notice').textContent = error.message || String(error);
  $('notice').hidden = false;
}

// What the journal tells the user (it cannot be opened, it was damaged, jobs were interrupted).
let lastNotices = [];
function showNotices() {
  if (lastNotices.length === 0) return;
  $('notice').textContent = lastNotices.map(said).join(' ');
  $('notice').hidden = false;
}

async function refreshState() {
  const state = await call('/api/state');
  showView(state.logged_in);
  lastNotices = state.notices || [];
  showNotices();
  if (state.logged_in) {
    // A reload or a new tab: the account, the screen it was on, and a send running elsewhere.
    showAccount(state.account);
    showScreen();
    watchRunningSend(state);
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

// The pictures are judged by the server as soon as they are chosen (JPEG by their first bytes,
// the size, how many); the verdict shows beside each one and holds the send back.
let pictureVerdict = null;
async function choosePictures() {
  const files = [...$('pictures').files];
  pictureVerdict = null;
  clearNotice();
  showThumbs(files, null);
  scheduleCheck();
  scheduleWorkbookCount();
  if (files.length === 0) return;
  pictureVerdict = await call('/api/pictures/check', { pictures: files });
  showThumbs(files, pictureVerdict);
}

function pictureProblem(p, verdict) {
  const text = t(`pic.${p.problem}`);
  return typeof text === 'function' ? text(verdict.max_bytes) : text;
}

function showThumbs(files, verdict) {
  $('thumbs').replaceChildren(...files.map((file, i) => {
    const figure = document.createElement('figure');
    const img = document.createElement('img');
    img.src = URL.createObjectURL(file);
    img.alt = file.name;
    const caption = document.createElement('figcaption');
    const name = document.createElement('span');
    name.textContent = `${file.name} · ${t('picSize')(file.size)}`;
    caption.append(name);
    const p = verdict && verdict.pictures[i];
    if (p) {
      figure.className = p.problem ? 'bad' : 'good';
      const said = document.createElement('span');
      said.className = 'verdict';
      said.textContent = p.problem ? pictureProblem(p, verdict) : t('pic.ok');
      caption.append(said);
    }
    figure.append(img, caption);
    return figure;
  }));
  const note = $('pictures-note');
  note.hidden = !(verdict && verdict.too_many);
  note.textContent = verdict && verdict.too_many ? t('picTooMany')(files.length, verdict.max_pictures) : '';
}

// False (with the reason shown) while a chosen picture cannot be sent.
function picturesReady() {
  if ($('pictures').files.length === 0 || (pictureVerdict && pictureVerdict.all_good)) return true;
  showError(new Error(t('error.pictures')));
  return false;
}

// The reservation of the send being confirmed: the workbook screen's or the message's.
function activeReserve() {
  return ($('screen-workbook').hidden ? $('reserve') : $('wb-reserve')).value;
}

// A reservation in words, from the page's field ("YYYY-MM-DDTHH:MM"); empty for now.
function whenWords(value) {
  const m = /^(\d{4})-(\d{2})-(\d{2})[T ](\d{2}):(\d{2})$/.exec(value || '');
  if (!m) return '';
  const [y, mo, d] = [Number(m[1]), Number(m[2]), Number(m[3])];
  return t('when')({ y, m: mo, d, hh: m[4], mm: m[5], day: new Date(y, mo - 1, d).getDay() });
}

function showWhen() {
  const words = whenWords(activeReserve());
  $('confirm-when').textContent = words ? t('reservedConfirm')(words) : t('nowConfirm');
}

// The result of a send in words: how many went, or for when they are reserved, and the rows left
// out; a send the gateway ended says how (the client core's words).
function resultWords(answer, reserve) {
  if (answer.problems) return answer.problems.map(verdictLine).join('\n');
  if (answer.error) {
    const blocks = (answer.blocks || []).map((b) => t(`block.${b}`));
    return blocks.length ? blocks.join('\n') : t(`error.${answer.error}`) || t('noEngine');
  }
  if (!answer.ok) return answer.failure ? said(answer.failure) : t('ended')(answer.sent, answer.total);
  const words = whenWords(reserve);
  const lines = [words ? t('reserved')(words, answer.total) : t('sent')(answer.sent)];
  if (answer.left_out > 0) lines.push(t('leftOut')(answer.left_out));
  return lines.join('\n');
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
  emptyRow('results', t('loading'));
  const answer = await call(`/api/results?${query}`);
  $('results-totals').textContent = answer.totals ? t('totals')(answer.totals.map(num)) : '';
  const rows = answer.rows || [];
  if (rows.length === 0) emptyRow('results', t('resultsEmpty'));
  else $('results').tBodies[0].replaceChildren(...rows.map((r) => row([r[0], r[1], r[2], phone(r[3]), ...r.slice(4)], [0, 6])));
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
    n.textContent = num(r[4]);
    bar.append(day, fill, n);
    return bar;
  }));
}

// A phone number as people write it: 010-1234-5678, 02-123-4567, 080-123-4567, 1588-1234.
function phone(digits) {
  const d = String(digits || '');
  if (!/^\d+$/.test(d)) return d;
  if (d.startsWith('02')) return d.length === 9 ? `02-${d.slice(2, 5)}-${d.slice(5)}` : d.length === 10 ? `02-${d.slice(2, 6)}-${d.slice(6)}` : d;
  if (d.length === 8 && /^1[568]/.test(d)) return `${d.slice(0, 4)}-${d.slice(4)}`;
  if (d.length === 10) return `${d.slice(0, 3)}-${d.slice(3, 6)}-${d.slice(6)}`;
  if (d.length === 11) return `${d.slice(0, 3)}-${d.slice(3, 7)}-${d.slice(7)}`;
  return d;
}

// Times as an office writes them: 2026-12-11 14:05.
const pad = (n) => String(n).padStart(2, '0');
function when(seconds) {
  if (!seconds) return '-';
  const d = new Date(Number(seconds) * 1000);
  return `${d.getFullYear()}-${pad(d.getMonth() + 1)}-${pad(d.getDate())} ${pad(d.getHours())}:${pad(d.getMinutes())}`;
}
function reserveWords(digits) {
  const m = /^(\d{4})(\d{2})(\d{2})(\d{2})(\d{2})$/.exec(digits || '');
  return m ? `${m[1]}-${m[2]}-${m[3]} ${m[4]}:${m[5]}` : '';
}
// A table row of cells, numbers right-aligned with thousands separators.
function row(values, numeric = []) {
  return cells(null, values.map((v, i) => (numeric.includes(i) && v !== '' && !Number.isNaN(Number(v)) ? num(v) : v)), numeric);
}
function emptyRow(table, words) {
  const tr = document.createElement('tr');
  const td = document.createElement('td');
  td.colSpan = $(table).tHead.rows[0].cells.length;
  td.className = 'empty-state';
  td.textContent = words;
  tr.append(td);
  $(table).tBodies[0].replaceChildren(tr);
}

let jobs = [];
async function refreshJobs() {
  const answer = await call('/api/jobs');
  jobs = answer.jobs || [];
  showJobs();
  showReserved();
}
function showJobs() {
  if (jobs.length === 0) { emptyRow('jobs', t('jobsEmpty')); return; }
  $('jobs').tBodies[0].replaceChildren(...jobs.map((j) => {
    const tr = row([j.id, when(j.started), j.kind, j.title, j.total, j.acknowledged, j.in_doubt, j.not_sent,
      t('endings')[j.ending] || j.ending], [0, 4, 5, 6, 7]);
    const td = document.createElement('td');
    const b = document.createElement('button');
    b.type = 'button';
    b.className = 'secondary';
    b.textContent = t('job.open');
    b.addEventListener('click', () => openJob(j.id).catch(showError));
    td.append(b);
    tr.append(td);
    return tr;
  }));
}

// Reserved jobs: those whose time is still to come.
function showReserved() {
  const now = new Date();
  const nowDigits = `${now.getFullYear()}${pad(now.getMonth() + 1)}${pad(now.getDate())}${pad(now.getHours())}${pad(now.getMinutes())}`;
  const reserved = jobs.filter((j) => j.reserve && j.reserve > nowDigits && j.ending !== 'cancelled')
    .sort((a, b) => a.reserve.localeCompare(b.reserve));
  $('reserved-empty').hidden = reserved.length > 0;
  $('reserved').tBodies[0].replaceChildren(...reserved.map((j) => row(
    [reserveWords(j.reserve), j.kind, j.title, j.total, `#${j.id}`], [3])));
}

// One job: its facts, its recipients by state and number, its download, sending its rest.
let openedJob = null;
let jobSearchTimer = 0;
async function openJob(id) {
  openedJob = jobs.find((j) => j.id === id) || { id };
  $('job-card').hidden = false;
  $('job-search').value = '';
  $('job-state').value = '';
  $('job-note').textContent = '';
  showJobHead();
  $('job-csv').href = `/api/jobs/export?id=${id}&format=csv`;
  $('job-xlsx').href = `/api/jobs/export?id=${id}&format=xlsx`;
  await showJobRecipients();
  $('job-card').scrollIntoView({ block: 'start' });
}
function showJobHead() {
  const j = openedJob;
  if (!j) return;
  $('job-title').textContent = t('jobTitle')(j);
  $('job-facts').textContent = j.total !== undefined ? t('jobFacts')(j) : '';
  $('job-rest').hidden = !(j.not_sent > 0) || j.resent_as > 0 || j.ending === 'running';
  $('job-doubt').hidden = !(j.in_doubt > 0) || j.resent_as > 0 || j.ending === 'running';
}
async function showJobRecipients() {
  if (!openedJob) return;
  const query = new URLSearchParams({ id: String(openedJob.id), number: $('job-search').value, state: $('job-state').value });
  emptyRow('job-recipients', t('loading'));
  const answer = await call(`/api/jobs/recipients?${query}`);
  if (!answer.ok) { emptyRow('job-recipients', (answer.problems || []).map(said).join(' ')); return; }
  if (answer.recipients.length === 0) emptyRow('job-recipients', t('jobNone'));
  else {
    $('job-recipients').tBodies[0].replaceChildren(...answer.recipients.map((r) => {
      const tr = row([r.place, phone(r.number), (t(`state.${r.state}`) || r.state) + (r.reason ? ` (${r.reason})` : '')]);
      tr.cells[2].className = `state-${r.state.replace(' ', '-')}`;
      return tr;
    }));
  }
  $('job-more').textContent = t('jobMatching')(answer.recipients.length, answer.matching);
}
async function sendRest(doubt) {
  const j = openedJob;
  if (!j || !window.confirm(t('restConfirm')(j, doubt))) return;
  $('job-rest').disabled = true;
  $('job-doubt').disabled = true;
  try {
    const answer = await call('/api/jobs/resend', { id: String(j.id), in_doubt: doubt ? '1' : '0' });
    $('job-note').textContent = answer.problems ? answer.problems.map(said).join(' ')
      : answer.ok ? t('restSent')(answer) : (answer.failure ? said(answer.failure) : t('ended')(answer.sent, answer.total));
    await refreshJobs();
    openedJob = jobs.find((x) => x.id === j.id) || j;
    showJobHead();
    showAccountFromState().catch(() => {});
  } finally {
    $('job-rest').disabled = false;
    $('job-doubt').disabled = false;
  }
}

// The address book: groups, the chosen group's contacts, each one edited in its row.
const book = { groups: [], group: '', contacts: [] };
async function refreshBook() {
  const answer = await call('/api/book');
  book.groups = answer.groups || [];
  if (book.group && !book.groups.some((g) => g.name === book.group)) book.group = '';
  showBookGroups();
  if (book.group) await openGroup(book.group);
  else showContacts();
}
function showBookGroups() {
  const list = $('book-groups');
  if (book.groups.length === 0) {
    const li = document.createElement('li');
    li.className = 'empty-state';
    li.textContent = t('book.noGroups');
    list.replaceChildren(li);
    return;
  }
  list.replaceChildren(...book.groups.map((g) => {
    const li = document.createElement('li');
    const b = document.createElement('button');
    b.type = 'button';
    b.setAttribute('aria-pressed', String(g.name === book.group));
    const name = document.createElement('span');
    name.textContent = g.name;
    const n = document.createElement('span');
    n.textContent = num(g.members);
    b.append(name, n);
    b.addEventListener('click', () => openGroup(g.name).catch(showError));
    li.append(b);
    return li;
  }));
}
async function openGroup(name) {
  book.group = name;
  showBookGroups();
  const answer = await call(`/api/book/members?${new URLSearchParams({ group: name })}`);
  book.contacts = answer.contacts || [];
  $('book-export').href = `/api/book/export?${new URLSearchParams({ group: name })}`;
  showContacts();
}
function showContacts() {
  $('book-group-tools').hidden = !book.group;
  const g = book.groups.find((x) => x.name === book.group);
  $('book-group-title').textContent = g ? t('bookGroupTitle')(g.name, book.contacts.length) : t('book.pickGroup');
  if (!book.group) return;
  const q = $('book-search').value.trim();
  const digits = q.replace(/\D/g, '');
  const shown = book.contacts.filter((c) => !q || c.name.includes(q) || (digits && c.phone.includes(digits)));
  $('book-empty').hidden = shown.length > 0;
  $('book-contacts').tBodies[0].replaceChildren(...shown.map(contactRow));
}
function contactRow(c) {
  const tr = row([c.name, phone(c.phone)]);
  const td = document.createElement('td');
  const tools = document.createElement('div');
  tools.className = 'row-actions';
  const button = (key, action) => {
    const b = document.createElement('button');
    b.type = 'button';
    b.textContent = t(key);
    b.addEventListener('click', () => action().catch(showError));
    return b;
  };
  const move = document.createElement('select');
  move.setAttribute('aria-label', t('book.move'));
  move.append(option('', t('book.move')), ...book.groups.filter((g) => g.name !== book.group).map((g) => option(g.name, g.name)));
  move.addEventListener('change', () => bookCall('/api/book/contact/move', { id: String(c.id), group: move.value }, 'book-contact-problem').catch(showError));
  tools.append(
    button('book.edit', async () => editContact(tr, c)),
    move,
    button('book.remove', async () => {
      if (window.confirm(t('bookRemoveContact')(c))) await bookCall('/api/book/contact/remove', { id: String(c.id) }, 'book-contact-problem');
    }),
  );
  td.append(tools);
  tr.append(td);
  return tr;
}
function editContact(tr, c) {
  const name = document.createElement('input');
  name.value = c.name;
  const phone = document.createElement('input');
  phone.value = c.phone;
  phone.inputMode = 'tel';
  tr.cells[0].replaceChildren(name);
  tr.cells[1].replaceChildren(phone);
  const save = document.createElement('button');
  save.type = 'button';
  save.textContent = t('book.save');
  save.addEventListener('click', () => bookCall('/api/book/contact/update', { id: String(c.id), name: name.value, phone: phone.value }, 'book-contact-problem').catch(showError));
  const cancel = document.createElement('button');
  cancel.type = 'button';
  cancel.textContent = t('book.cancel');
  cancel.addEventListener('click', showContacts);
  tr.cells[2].firstChild.replaceChildren(save, cancel);
  name.focus();
}
// A change of the book; its refusal is said next to what caused it, else the book is read again.
async function bookCall(path, fields, problemId) {
  const answer = await call(path, fields);
  $(problemId).textContent = answer.ok ? '' : (answer.problems || []).map(said).join(' ');
  if (answer.ok) {
    await refreshBook();
    refreshGroups().catch(() => {});
  }
  return answer;
}
async function importContacts() {
  const file = $('book-import').files[0];
  if (!file || !book.group) return;
  const answer = await call('/api/book/import', { group: book.group, file, name: file.name });
  $('book-import').value = '';
  if (!answer.ok) { $('book-import-note').textContent = (answer.problems || []).map(said).join(' '); return; }
  $('book-import-note').textContent = t('bookImported')(answer.added, answer.left_out.length);
  listItems('book-import-problems', answer.left_out.slice(0, 50).map((v) => t('bookRow')(v)));
  await refreshBook();
  refreshGroups().catch(() => {});
}

// Korea's sending rules: the settings, the registered callbacks, the opt-out list.
let rules = { settings: {}, callbacks: [] };
async function refreshRules() {
  const answer = await call('/api/settings');
  if (!answer.ok) return;
  rules = answer;
  const s = answer.settings;
  $('set-business').value = s.business_name;
  $('set-optout').value = phone(s.optout_number);
  $('set-own').value = phone(s.own_number);
  $('set-applies').value = s.optout_applies;
  $('callback-list').replaceChildren(...answer.callbacks.map((n) => option(phone(n), phone(n))));
  showCallbacks();
}
function showCallbacks() {
  const list = $('callbacks');
  if (rules.callbacks.length === 0) {
    const li = document.createElement('li');
    li.className = 'empty-state';
    li.textContent = t('callbacksNone');
    list.replaceChildren(li);
    return;
  }
  list.replaceChildren(...rules.callbacks.map((n) => {
    const li = document.createElement('li');
    const span = document.createElement('span');
    span.textContent = phone(n);
    const b = document.createElement('button');
    b.type = 'button';
    b.textContent = t('callbacks.remove');
    b.addEventListener('click', () => call('/api/callbacks/remove', { numbers: n }).then(refreshRules).catch(showError));
    li.append(span, b);
    return li;
  }));
}
async function saveSettings(event) {
  event.preventDefault();
  const wanted = { business_name: $('set-business').value.trim(), optout_number: $('set-optout').value.replace(/\D/g, ''),
    own_number: $('set-own').value.replace(/\D/g, ''), optout_applies: $('set-applies').value };
  const problems = [];
  for (const [name, value] of Object.entries(wanted)) {
    if (value === rules.settings[name]) continue;
    const answer = await call('/api/settings/set', { name, value });
    if (!answer.ok) problems.push(...(answer.problems || []).map(said));
  }
  listItems('settings-problems', problems);
  $('settings-note').textContent = problems.length ? '' : t('settingsSaved');
  await refreshRules();
  scheduleCheck();
}
async function addCallback(event) {
  event.preventDefault();
  const answer = await call('/api/callbacks/add', { numbers: $('callback-new').value, label: '' });
  listItems('callback-problems', (answer.problems || answer.refused || []).map(said));
  if (answer.ok && (answer.refused || []).length === 0) $('callback-new').value = '';
  await refreshRules();
}
async function refreshOptOuts() {
  const answer = await call('/api/optout');
  const numbers = answer.numbers || [];
  $('optout-count').textContent = t('optoutCount')(numbers.length);
  $('optout-table').tBodies[0].replaceChildren(...numbers.map((n) => {
    const tr = row([phone(n.number), when(n.added), n.note]);
    const td = document.createElement('td');
    const b = document.createElement('button');
    b.type = 'button';
    b.className = 'secondary';
    b.textContent = t('optout.remove');
    b.addEventListener('click', () => call('/api/optout/remove', { numbers: n.number }).then(refreshOptOuts).catch(showError));
    td.append(b);
    tr.append(td);
    return tr;
  }));
}
async function addOptOuts(fields) {
  const answer = await call(fields.file ? '/api/optout/import' : '/api/optout/add', fields);
  const lines = answer.ok ? [t('optoutAdded')(answer)] : [];
  listItems('optout-problems', [...lines, ...(answer.problems || answer.refused || []).map(said)]);
  if (answer.ok) $('optout-numbers').value = '';
  await refreshOptOuts();
}
async function insertAdvertising() {
  const answer = await call('/api/ad-text', { text: $('text').value });
  if (!answer.ok) return;
  $('text').value = answer.text;
  await checkCompose();
}
function showAdBox() {
  $('ad-box').hidden = !$('ad-advert').checked;
  if (!$('ad-advert').checked) $('night-consent').checked = false;
}
// A test send to the user's own number: the message as it is, to that one number.
let testTarget = '';
async function testSend() {
  const own = rules.settings.own_number;
  $('test-send-note').textContent = '';
  if (!own) { $('test-send-note').textContent = t('testNoOwn'); return; }
  testTarget = own;
  await askToSend(new Event('submit'));
}

// The screens: one at a time, chosen by the address's #name so that a reload stays on it.
const screens = ['send', 'workbook', 'book', 'results', 'reserved', 'settings'];
function showScreen() {
  const name = screens.includes(location.hash.slice(1)) ? location.hash.slice(1) : 'send';
  for (const s of screens) {
    $(`screen-${s}`).hidden = s !== name;
    if (s === name) $(`nav-${s}`).setAttribute('aria-current', 'page');
    else $(`nav-${s}`).removeAttribute('aria-current');
  }
  if (name === 'book') { refreshBook().catch(showError); refreshOptOuts().catch(showError); }
  if (name === 'settings' || name === 'send') refreshRules().catch(showError);
  if (name === 'results' || name === 'reserved') refreshJobs().catch(showError);
}

// The dialog over the screen shows while the confirmation or the progress does.
function watchFlow() {
  const flow = $('flow');
  const update = () => { flow.hidden = $('confirm-view').hidden && $('progress-view').hidden; };
  const observer = new MutationObserver(update);
  for (const id of ['confirm-view', 'progress-view']) observer.observe($(id), { attributes: true, attributeFilter: ['hidden'] });
  update();
}

// A send running elsewhere (another tab, qx) or from before a reload: its progress is shown, and
// sending waits for it with a word why.
let watchingElsewhere = 0;
function watchRunningSend(state) {
  const job = state.job || {};
  const running = job.state === 'running' && !sending;
  $('busy-note').hidden = !running;
  $('send').disabled = running || sending;
  $('wb-send').disabled = running || sending;
  if (running) {
    $('busy-text').textContent = t('busyOther')(job);
    clearTimeout(watchingElsewhere);
    watchingElsewhere = setTimeout(() => call('/api/state').then(watchRunningSend).catch(() => {}), 1000);
  } else if (watchingElsewhere) {
    watchingElsewhere = 0;
    refreshJobs().catch(() => {});
    showAccountFromState().catch(() => {});
  }
}
async function showAccountFromState() {
  const state = await call('/api/state');
  showAccount(state.account);
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
  showScreen();
  refreshJobs().catch(showError);
  refreshGroups().catch(showError);
  showRecent().catch(showError);
}

function clearNotice() {
  $('notice').hidden = true;
}

async function askToSend(event) {
  event.preventDefault();
  pendingSend = null;
  clearNotice();
  if (!picturesReady()) return;
  const answer = await checkCompose();
  if (!answer.ok) return;
  const count = answer.recipients.length + (testTarget ? 0 : groupMembers());
  $('wb-check').hidden = true;
  $('confirm-text').textContent = testTarget ? t('testConfirm')(testTarget) : t('confirm')(count, answer.kind);
  await showCheck(count, { SMS: 1, LMS: 2, MMS: 3 }[answer.kind] || 1, false);
}

let lastResult = null;
let sending = false;
async function send() {
  sending = true;
  $('busy-note').hidden = true;
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
  const reserve = activeReserve();
  try {
    const answer = await (pendingSend ? pendingSend() : call('/api/send', sendFields()));
    lastResult = { answer, reserve };
    $('result-text').textContent = resultWords(answer, reserve);
    $('result-view').hidden = false;
    showAccount(answer.account);
    refreshJobs().catch(showError);
    showRecent().catch(showError);
  } catch (e) {
    showError(e);
  } finally {
    pendingSend = null;
    sending = false;
    if (testTarget) {
      $('test-send-note').textContent = t('testSent')(testTarget);
      testTarget = '';
      $('result-view').hidden = true;
      scheduleCheck();
    }
    // Night consent is asked again at each send.
    $('night-consent').checked = false;
    $('wb-night').checked = false;
    clearInterval(poll);
    $('progress-view').hidden = true;
    $('send').disabled = false;
    $('result-view').scrollIntoView({ block: 'nearest' });
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
    b.addEventListener('click', () => insertMarker(c).catch(showError));
    return b;
  }));
  scheduleWorkbookCount();
}

// Inserts [column:bytes] at the cursor, the bytes those of the column's longest value over every
// row the send would take (the engine's full check of that one marker).
async function insertMarker(column) {
  const area = $('template');
  const from = area.selectionStart ?? area.value.length;
  const to = area.selectionEnd ?? from;
  const answer = await call('/api/workbook/width', {
    sheet: $('sheet').value, phone: $('phone-column').value, column,
  });
  const measured = answer.ok && answer.bytes > 0;
  const width = measured ? answer.bytes : 10;
  const marker = `[${column}:${width}]`;
  area.value = area.value.slice(0, from) + marker + area.value.slice(to);
  area.focus();
  area.setSelectionRange(from + marker.length, from + marker.length);
  $('wb-width-note').textContent = measured ? t('widthNote')(column, width) : t('widthUnknown')(column);
  scheduleWorkbookCount();
}

async function uploadWorkbook() {
  const file = $('workbook').files[0];
  if (!file) return;
  const answer = await call('/api/workbook', { workbook: file });
  const problems = $('wb-problems');
  if (!answer.ok) {
    listItems('wb-problems', (answer.problems || []).map(verdictLine));
    return;
  }
  problems.replaceChildren();
  $('preview').tBodies[0].replaceChildren();
  $('wb-width-note').textContent = '';
  sheets = answer.sheets;
  $('sheet').replaceChildren(...sheets.map((s) => option(s.name, `${s.name} (${s.rows})`)));
  $('workbook-form').hidden = false;
  showSheet();
}

function workbookFields() {
  return {
    sheet: $('sheet').value, phone: $('phone-column').value,
    callback_column: $('callback-column').value, callback: $('wb-callback').value,
    text: $('template').value, title: $('wb-title').value, reserve: $('wb-reserve').value.replace('T', ' '),
    dedupe: $('dedupe').checked ? '1' : '0', pictures: String($('wb-pictures').files.length),
    ad: $('wb-ad').checked ? '1' : '0', night: $('wb-ad').checked && $('wb-night').checked ? '1' : '0',
    skip_invalid: $('skip-invalid').checked ? '1' : '0', allow_cut: $('allow-cut').checked ? '1' : '0',
  };
}

let workbookTimer = 0;
function scheduleWorkbookCount() {
  clearTimeout(workbookTimer);
  workbookTimer = setTimeout(() => workbookCount().catch(showError), 250);
}

// The counter shows what the engine's full check says the send would make: its messages (valid
// rows, each number once when asked), the longest message's bytes and the kind.
async function workbookCount() {
  if (!currentSheet() || !$('template').value.trim()) {
    $('wb-count').textContent = '-';
    return;
  }
  const answer = await call('/api/workbook/check', workbookFields());
  if (answer.messages === undefined) return;
  $('wb-count').textContent = num(answer.messages);
  $('wb-bytes').textContent = num(answer.largest);
  $('wb-kind').textContent = answer.kind;
}

async function previewWorkbook() {
  const answer = await call('/api/workbook/preview', workbookFields());
  listItems('wb-problems', (answer.problems || []).map(verdictLine));
  if (!answer.ok) return answer;
  scheduleWorkbookCount();
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
  showWhen();
  $('confirm-view').hidden = false;
  $('confirm-no').focus();
  $('result-view').hidden = true;
  const answer = await call('/api/check', {
    ...(workbook ? {} : composeFields()), pictures: undefined,
    count: String(count), mode: String(mode), reserve: activeReserve().replace('T', ' '),
    workbook: workbook ? '1' : '0', opted_out: workbook && workbookCheck ? String(workbookCheck.opted_out || 0) : '0',
  });
  serviceCheckPassed = answer.ok;
  lastServiceCheck = answer;
  showServiceCheck();
  updateConfirm();
}

// The web service's answer in the page's language: a refusal says why and with what figures, a
// pass needs none of them.
let lastServiceCheck = null;
function showServiceCheck() {
  if (!lastServiceCheck) return;
  $('confirm-check').textContent = lastServiceCheck.ok ? t('checkPassed') : said(lastServiceCheck.said);
  $('confirm-cost').textContent = lastServiceCheck.cost ? said(lastServiceCheck.cost) : '';
  $('confirm-optout').hidden = !lastServiceCheck.opted_out_said;
  $('confirm-optout').textContent = lastServiceCheck.opted_out_said ? said(lastServiceCheck.opted_out_said) : '';
}

// The workbook send: the engine's full check over every row comes first and is shown (rows left
// out with the reason, duplicates, values cut, characters that cannot be sent); rows with wrong
// numbers and cut values need the user's tick before the send button works.
let serviceCheckPassed = false;
let workbookCheck = null;

function updateConfirm() {
  let blocks = [];
  if (workbookCheck && !$('wb-check').hidden) {
    blocks = workbookCheck.blocks.filter((b) => !(b === 'invalid-rows' && $('skip-invalid').checked)
      && !(b === 'cut-values' && $('allow-cut').checked));
  }
  $('wb-blocks').replaceChildren(...blocks.map((b) => {
    const li = document.createElement('li');
    li.textContent = t(`block.${b}`);
    return li;
  }));
  $('confirm-yes').disabled = !serviceCheckPassed || blocks.length > 0;
  if (!$('confirm-yes').disabled) $('confirm-yes').focus();
}

function showWorkbookCheck(c) {
  $('wb-check').hidden = false;
  const facts = [t('checkRows')(c), t('checkMessages')(c)];
  if (c.mode !== 3 && c.lms_rows > 0 && c.sms_rows > 0) facts.push(t('checkKinds')(c));
  if (c.callback) facts.push(t('checkCallback')(c));
  if (c.duplicates > 0) facts.push(t('checkDuplicates')(c.duplicates));
  if (c.opted_out > 0) facts.push(t('checkOptedOut')(c.opted_out));
  $('wb-facts').replaceChildren(...facts.map((f) => {
    const li = document.createElement('li');
    li.textContent = f;
    return li;
  }));
  $('wb-faults-box').hidden = c.invalid === 0;
  $('wb-faults-title').textContent = t('faultsTitle')(c.invalid);
  $('wb-faults').tBodies[0].replaceChildren(...c.faults.map((f) => {
    const tr = cells(null, [f.row, f.cell || t('check.emptyCell'), t(`problem.${f.what}.${f.problem}`) || f.problem], [0]);
    if (!f.cell) tr.cells[1].className = 'empty';
    tr.cells[2].className = 'reason';
    return tr;
  }));
  $('wb-faults-more').textContent = c.invalid > c.faults.length ? t('more')(c.invalid - c.faults.length) : '';
  $('wb-cuts-box').hidden = c.cut_rows === 0;
  $('wb-cuts-title').textContent = t('cutsTitle')(c.cut_rows, c.cut_bytes);
  $('wb-cuts').tBodies[0].replaceChildren(...c.cuts.map((x) => cells(null,
    [x.row, x.column, t('cutValue')(x.value, x.value_bytes), `→ ${t('cutValue')(x.kept, x.kept_bytes)}`], [0])));
  $('wb-cuts-more').textContent = c.cut_rows > c.cuts.length ? t('more')(c.cut_rows - c.cuts.length) : '';
  $('wb-unencodable-box').hidden = c.unencodable_rows === 0;
  $('wb-unencodable-title').textContent = t('unencodableTitle')(c.unencodable_rows);
  $('wb-unencodable').replaceChildren(...c.unencodable.map((u) => {
    const li = document.createElement('li');
    li.textContent = t('unencodableRow')(u);
    return li;
  }));
}

async function askToSendWorkbook() {
  clearNotice();
  const preview = await previewWorkbook();
  if (!preview || !preview.ok) return;
  $('skip-invalid').checked = false;
  $('allow-cut').checked = false;
  const check = await call('/api/workbook/check', { ...workbookFields(), skip_invalid: '0', allow_cut: '0' });
  if (check.messages === undefined) {
    const problems = check.problems ? check.problems.map(verdictLine) : [t(`error.${check.error}`) || t('noEngine')];
    listItems('wb-problems', problems);
    return;
  }
  workbookCheck = check;
  pendingSend = () => call('/api/workbook/send', { ...workbookFields(), pictures: [...$('wb-pictures').files] });
  serviceCheckPassed = false;
  showWorkbookCheck(check);
  $('confirm-text').textContent = t('confirm')(num(check.messages), check.kind);
  if (check.messages === 0) {
    showWhen();
    $('confirm-view').hidden = false;
    $('confirm-check').textContent = '';
    updateConfirm();
    return;
  }
  await showCheck(check.messages, check.mode, true);
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
  $('box-note').textContent = answer.ok ? answer.answer : (answer.problems || []).map(said).join(' ') || answer.answer;
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
    // What the server said is kept in both languages: switching asks nothing again.
    showCompose();
    showServiceCheck();
    showNotices();
    showJobs();
    showReserved();
    showJobHead();
    if (book.group || book.groups.length) { showBookGroups(); showContacts(); }
    showCallbacks();
    $('settings-lang').value = lang;
    if (lastResult) $('result-text').textContent = resultWords(lastResult.answer, lastResult.reserve);
  });
  $('remove-bad').addEventListener('click', () => removeBadNumbers().catch(showError));
  window.addEventListener('hashchange', showScreen);
  // Esc closes the confirmation as 취소 does.
  document.addEventListener('keydown', (e) => {
    if (e.key === 'Escape' && !$('confirm-view').hidden) $('confirm-no').click();
  });
  watchFlow();
  $('busy-stop').addEventListener('click', () => call('/api/cancel', {}).catch(showError));
  $('result-close').addEventListener('click', () => { $('result-view').hidden = true; });
  $('job-state').addEventListener('change', () => showJobRecipients().catch(showError));
  $('job-search').addEventListener('input', () => {
    clearTimeout(jobSearchTimer);
    jobSearchTimer = setTimeout(() => showJobRecipients().catch(showError), 300);
  });
  $('job-rest').addEventListener('click', () => sendRest(false).catch(showError));
  $('job-doubt').addEventListener('click', () => sendRest(true).catch(showError));
  $('book-group-form').addEventListener('submit', (e) => {
    e.preventDefault();
    bookCall('/api/book/group/add', { name: $('book-group-name').value.trim() }, 'book-group-problem')
      .then((a) => { if (a.ok) { book.group = $('book-group-name').value.trim(); $('book-group-name').value = ''; refreshBook(); } })
      .catch(showError);
  });
  $('book-contact-form').addEventListener('submit', (e) => {
    e.preventDefault();
    bookCall('/api/book/contact/add', { group: book.group, name: $('book-name').value, phone: $('book-phone').value }, 'book-contact-problem')
      .then((a) => { if (a.ok) { $('book-name').value = ''; $('book-phone').value = ''; $('book-name').focus(); } })
      .catch(showError);
  });
  $('book-search').addEventListener('input', showContacts);
  $('book-import').addEventListener('change', () => importContacts().catch(showError));
  $('book-remove-group').addEventListener('click', () => {
    const g = book.groups.find((x) => x.name === book.group);
    if (g && window.confirm(t('bookRemoveGroup')(g.name, book.contacts.length))) {
      bookCall('/api/book/group/remove', { name: g.name }, 'book-group-problem').catch(showError);
    }
  });
  $('settings-lang').value = lang;
  $('settings-lang').addEventListener('change', () => { if ($('settings-lang').value !== lang) $('lang').click(); });
  $('login-form').addEventListener('submit', (e) => login(e).catch(showError));
  $('compose-form').addEventListener('submit', (e) => askToSend(e).catch(showError));
  for (const id of ['text', 'to', 'callback', 'reserve', 'title']) {
    $(id).addEventListener('input', scheduleCheck);
  }
  $('pictures').addEventListener('change', () => choosePictures().catch(showError));
  for (const id of ['pictures', 'workbook', 'wb-pictures']) $(id).addEventListener('change', () => showFileNames(id));
  $('wb-pictures').addEventListener('change', scheduleWorkbookCount);
  $('wb-ad').addEventListener('change', () => { $('wb-night-box').hidden = !$('wb-ad').checked; $('wb-night').checked = false; });
  $('wb-callback').addEventListener('input', scheduleWorkbookCount);
  $('callback-column').addEventListener('change', () => { $('wb-callback-box').hidden = $('callback-column').value !== ''; });
  $('skip-invalid').addEventListener('change', updateConfirm);
  $('allow-cut').addEventListener('change', updateConfirm);
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
  $('confirm-no').addEventListener('click', () => {
    $('confirm-view').hidden = true;
    pendingSend = null;
    workbookCheck = null;
    if (testTarget) { testTarget = ''; scheduleCheck(); }
  });
  for (const id of ['ad-normal', 'ad-advert']) $(id).addEventListener('change', () => { showAdBox(); scheduleCheck(); });
  $('night-consent').addEventListener('change', scheduleCheck);
  $('ad-insert').addEventListener('click', () => insertAdvertising().catch(showError));
  $('test-send').addEventListener('click', () => testSend().catch(showError));
  $('settings-form').addEventListener('submit', (e) => saveSettings(e).catch(showError));
  $('callback-form').addEventListener('submit', (e) => addCallback(e).catch(showError));
  $('optout-form').addEventListener('submit', (e) => {
    e.preventDefault();
    addOptOuts({ numbers: $('optout-numbers').value, note: $('optout-note').value }).catch(showError);
  });
  $('optout-import').addEventListener('change', () => {
    const file = $('optout-import').files[0];
    if (file) addOptOuts({ file }).then(() => { $('optout-import').value = ''; }).catch(showError);
  });
  $('workbook').addEventListener('change', () => uploadWorkbook().catch(showError));
  $('sheet').addEventListener('change', showSheet);
  $('phone-column').addEventListener('change', scheduleWorkbookCount);
  $('dedupe').addEventListener('change', scheduleWorkbookCount);
  $('template').addEventListener('input', scheduleWorkbookCount);
  $('callback-column').addEventListener('change', scheduleWorkbookCount);
  $('wb-preview').addEventListener('click', () => previewWorkbook().catch(showError));
  $('wb-send').addEventListener('click', () => askToSendWorkbook().catch(showError));
  $('cancel').addEventListener('click', () => call('/api/cancel', {}).catch(showError));
  $('jobs-refresh').addEventListener('click', () => refreshJobs().catch(showError));
  $('logout').addEventListener('click', async () => {
    await call('/api/logout', {});
    showView(false);
  });
  $('quit').addEventListener('click', async () => {
    const state = await call('/api/state').catch(() => null);
    if (state && state.job && state.job.state === 'running' && !window.confirm(t('quitRunning'))) return;
    await call('/api/quit', {});
    document.body.textContent = lang === 'ko' ? 'Parley를 끝냈습니다.' : 'Parley has ended.';
  });
  refreshState().catch(showError);
}

start();
