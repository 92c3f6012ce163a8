// Quillmar's browser view: follows the program's /ws stream, draws the newest
// state at most once per animation frame, reconnects by itself.
'use strict';
(() => {
  // The program's own words ([Chinese, English]); the English is the
  // program's translation of the same Chinese text wherever the window has it.
  const T = {
    heading: ['航向指示', 'Heading'], pitch: ['俯仰角', 'Pitch'], roll: ['横滚角', 'Roll'],
    headingMagnetic: ['磁航向', 'Magnetic heading'], rateOfTurn: ['转向速率：', 'Rate of turn:'],
    position: ['位置', 'Position'], source: ['来源：%1', 'Source: %1'],
    N: ['北', 'N'], E: ['东', 'E'], S: ['南', 'S'], W: ['西', 'W'],
    bow: ['前', 'Bow'], stern: ['后', 'Stern'], port: ['左', 'Port'], stbd: ['右', 'Stbd'],
    alarm: ['报警', 'Alarm'], ack: ['确认报警', 'Acknowledge Alarm'], silence: ['静音', 'Silence'],
    health: ['数据状态', 'Data Status'], events: ['事件日志', 'Event log'],
    curves: ['实时曲线', 'Live curves'], type: ['类型', 'Type'], count: ['数量', 'Count'],
    rate: ['速率(条/秒)', 'Rate (/s)'], record: ['记录文件', 'Record file'],
    messages: ['已接收消息', 'Messages received'],
    badPackets: ['坏数据包（校验和不符，已丢弃）', 'Bad packets (checksum mismatch, dropped)'],
    overlongLines: ['超长行（分段记录）', 'Over-long lines (recorded in pieces)'],
    droppedBytes: ['丢弃字节（窗口未及显示，记录完整）', 'Bytes not shown (window behind; record complete)'],
    reconnects: ['重新连接次数', 'Reconnections'],
    datagramsLost: ['丢失的数据报（系统接收缓冲区已满）', "Datagrams lost (the system's receive buffer was full)"],
    web_notFound: ['找不到的网页 (404)', 'Pages not found (404)'],
    web_badMethod: ['不支持的请求方法 (405)', 'Methods refused (405)'],
    web_badPath: ['无此路径的数据流', 'Streams of no such path'],
    web_overCap: ['超出上限的连接', 'Connections over the limit'],
    web_oversized: ['过大的消息', 'Messages too large'], web_refused: ['被拒绝的命令', 'Commands refused'],
    web_ignored: ['忽略的消息', 'Messages ignored'], web_dropped: ['断开的慢速浏览器', 'Slow browsers dropped'],
    perMinute: [' °/分', ' °/min'],
    normal: ['正常', 'Normal'], active: ['超限', 'Over limit'], silenced: ['已静音', 'Silenced'],
    acknowledged: ['已确认', 'Acknowledged'], rectified: ['已恢复，请确认', 'Rectified, acknowledge'],
    subj_pitch: ['俯仰角', 'Pitch'], subj_roll: ['横滚角', 'Roll'], subj_data: ['数据中断', 'No data'],
    subj_headingDifference: ['航向差超限', 'Heading difference over limit'],
    noAlarms: ['无报警', 'No alarms'],
    noData: ['未接收到姿态仪数据', 'No data from the attitude instrument'],
    staleS: ['数据中断 %1 秒', 'No data for %1 s'], staleM: ['数据中断 %1 分钟', 'No data for %1 min'],
    staleH: ['数据中断 %1 小时 %2 分钟', 'No data for %1 h %2 min'],
    readOnly: ['只读：程序没有设置网页密码，不能确认报警或静音',
      'Read-only: the program has no web password, so alarms cannot be acknowledged or silenced here'],
    readOnlyMode: ['只读', 'Read-only'],
    password: ['密码', 'Password'], ok: ['确定', 'OK'], cancel: ['取消', 'Cancel'],
    done_ack: ['已确认报警', 'Alarm acknowledged'], done_silence: ['已静音', 'Silenced'],
    why_password: ['已拒绝：密码错误', 'Refused: wrong password'],
    why_rate: ['已拒绝：请 2 秒后再试', 'Refused: try again in 2 s'],
    'why_read-only': ['已拒绝：只读', 'Refused: read-only'],
    why_other: ['已拒绝', 'Refused'], sending: ['正在发送…', 'Sending…'],
    lost: ['与 Quillmar 的连接已断开，显示的数值不是当前的。%1 秒后重新连接…',
      'Lost the connection to Quillmar: the values shown are not current. Reconnecting in %1 s…'],
    connecting: ['正在连接 Quillmar…', 'Connecting to Quillmar…'],
    switchTo: ['English', '中文'],
  };
  const $ = (id) => document.getElementById(id);
  const HISTORY_MS = 5 * 60 * 1000;
  const QUANTITIES = ['heading', 'pitch', 'roll'];
  const MORE = ['rateOfTurn', 'headingMagnetic', 'position'];

  let chosenLang = null;
  try { chosenLang = localStorage.getItem('quillmar.lang'); } catch (e) { /* private mode */ }
  let lang = chosenLang === 'en' ? 'en' : 'zh';
  let hello = null;
  let state = null;
  let online = false;
  let samples = [];
  let socket = null;
  let retryMs = 1000;
  let retryAt = 0;
  let frameAsked = false;
  let pending = null; // a command waiting for the password
  let result = null; // [key, ok] of the last command's answer

  const tr = (key, ...args) => {
    const pair = T[key];
    let text = pair ? pair[lang === 'en' ? 1 : 0] : key;
    args.forEach((a, i) => { text = text.replace('%' + (i + 1), a); });
    return text;
  };
  const setText = (el, text) => { if (el.textContent !== text) el.textContent = text; };
  const setClass = (el, name) => { if (el.className !== name) el.className = name; };

  function staleText(ms) {
    const s = Math.floor(ms / 1000);
    if (s < 60) return tr('staleS', s);
    if (s < 3600) return tr('staleM', Math.floor(s / 60));
    return tr('staleH', Math.floor(s / 3600), Math.floor((s % 3600) / 60));
  }

  // --- Static parts: ticks and limit marks of the dials, the language.
  const SVG = 'http://www.w3.org/2000/svg';
  function radial(group, angle, r0, r1, cls) {
    const a = (angle * Math.PI) / 180;
    const line = document.createElementNS(SVG, 'line');
    line.setAttribute('x1', (r0 * Math.sin(a)).toFixed(1));
    line.setAttribute('y1', (-r0 * Math.cos(a)).toFixed(1));
    line.setAttribute('x2', (r1 * Math.sin(a)).toFixed(1));
    line.setAttribute('y2', (-r1 * Math.cos(a)).toFixed(1));
    if (cls) line.setAttribute('class', cls);
    group.appendChild(line);
  }
  function drawTicks() {
    document.querySelectorAll('[data-ticks]').forEach((g) => {
      const [from, to, step] = g.dataset.ticks.split(' ').map(Number);
      for (let a = from; a <= to; a += step) {
        const major = a % 30 === 0;
        radial(g, a, 100, major ? 85 : 92, major ? 'major' : '');
      }
    });
  }
  function drawLimits() {
    for (const q of ['pitch', 'roll']) {
      const g = $('l-' + q);
      g.textContent = '';
      const limit = hello && hello.limits ? Number(hello.limits[q]) : NaN;
      if (!(limit > 0)) continue;
      for (const base of [90, 270]) for (const sign of [-1, 1]) radial(g, base + sign * limit, 100, 80);
    }
  }

  function applyLanguage() {
    document.documentElement.lang = lang === 'en' ? 'en' : 'zh-CN';
    document.querySelectorAll('[data-t]').forEach((el) => setText(el, tr(el.dataset.t)));
    setText($('lang'), tr('switchTo'));
    updateButtons();
    ask();
  }
  $('lang').addEventListener('click', () => {
    lang = lang === 'en' ? 'zh' : 'en';
    try { localStorage.setItem('quillmar.lang', lang); } catch (e) { /* private mode */ }
    applyLanguage();
  });

  // --- Commands: the password asked once, kept for this tab's session.
  function storedPassword() {
    try { return sessionStorage.getItem('quillmar.password'); } catch (e) { return null; }
  }
  function updateButtons() {
    const readOnly = !hello || hello.readOnly;
    for (const cmd of ['ack', 'silence']) {
      const button = $(cmd);
      button.disabled = readOnly || !online;
      const tip = hello && hello.readOnly ? tr('readOnly') : '';
      button.title = tip;
      $(cmd + '-wrap').title = tip;
    }
    setText($('mode'), hello && hello.readOnly ? tr('readOnlyMode') : '');
  }
  function send(cmd, password) {
    if (!socket || socket.readyState !== WebSocket.OPEN) return;
    socket.send(JSON.stringify({ cmd, password }));
    result = ['sending', null];
    ask();
  }
  function command(cmd) {
    const password = storedPassword();
    if (password) { send(cmd, password); return; }
    pending = cmd;
    $('pw').hidden = false;
    $('pw-input').focus();
  }
  $('ack').addEventListener('click', () => command('ack'));
  $('silence').addEventListener('click', () => command('silence'));
  $('pw').addEventListener('submit', (e) => {
    e.preventDefault();
    const password = $('pw-input').value;
    $('pw-input').value = '';
    $('pw').hidden = true;
    if (!password || !pending) return;
    try { sessionStorage.setItem('quillmar.password', password); } catch (err) { /* kept for this click */ }
    send(pending, password);
    pending = null;
  });
  $('pw-cancel').addEventListener('click', () => { pending = null; $('pw').hidden = true; });

  // --- The stream.
  function connect() {
    const url = (location.protocol === 'https:' ? 'wss://' : 'ws://') + location.host + '/ws';
    let ws;
    try { ws = new WebSocket(url); } catch (e) { lost(); return; }
    socket = ws;
    ws.onmessage = (event) => {
      if (ws !== socket) return;
      let m;
      try { m = JSON.parse(event.data); } catch (e) { return; }
      if (m.type === 'hello') onHello(m);
      else if (m.type === 'state') onState(m);
      else if (m.type === 'result') onResult(m);
    };
    ws.onclose = () => { if (ws === socket) lost(); };
  }
  function lost() {
    socket = null;
    online = false;
    retryAt = Date.now() + retryMs;
    setTimeout(connect, retryMs);
    retryMs = Math.min(retryMs * 2, 10000);
    ask();
  }
  function onHello(m) {
    hello = m;
    online = true;
    retryMs = 1000;
    if (chosenLang !== 'en' && chosenLang !== 'zh') lang = m.lang === 'en' ? 'en' : 'zh';
    setText($('vessel'), m.vessel || '');
    document.title = 'Quillmar' + (m.vessel ? ' – ' + m.vessel : '');
    samples = Array.isArray(m.history) ? m.history.slice() : [];
    drawLimits();
    applyLanguage();
  }
  function onState(m) {
    state = m;
    const s = m.sample;
    if (Array.isArray(s) && (!samples.length || s[0] > samples[samples.length - 1][0])) samples.push(s);
    const oldest = m.t - HISTORY_MS;
    let drop = 0;
    while (drop < samples.length && samples[drop][0] < oldest) drop++;
    if (drop) samples.splice(0, drop);
    ask();
  }
  function onResult(m) {
    if (m.ok) result = ['done_' + m.cmd, true];
    else {
      if (m.reason === 'password') {
        try { sessionStorage.removeItem('quillmar.password'); } catch (e) { /* nothing kept */ }
      }
      result = [T['why_' + m.reason] ? 'why_' + m.reason : 'why_other', false];
    }
    ask();
  }

  // --- Drawing: at most once a frame, the newest state.
  function ask() {
    if (frameAsked) return;
    frameAsked = true;
    requestAnimationFrame(render);
  }
  function render() {
    frameAsked = false;
    document.body.classList.toggle('offline', !online);
    const banner = $('banner');
    banner.hidden = online;
    if (!online) {
      setText(banner, hello ? tr('lost', Math.max(1, Math.ceil((retryAt - Date.now()) / 1000))) : tr('connecting'));
      setTimeout(ask, 500); // the countdown
    }
    updateButtons();
    if (result) {
      setText($('result'), tr(result[0]));
      setClass($('result'), result[1] === true ? 'ok' : result[1] === false ? 'refused' : '');
    }
    if (state) renderState(state);
    drawCurves();
    if (state) {
      document.body.dataset.renderedT = String(state.t);
      window.quillmarRendered = { t: state.t, at: Date.now(), values: state.values };
    }
  }

  function sounding(subject) {
    return !!(state && state.sounding && (state.alarms || []).some((a) => a.subject === subject && a.state === 'active'));
  }
  function renderState(s) {
    const values = s.values || {};
    for (const q of QUANTITIES) {
      const v = values[q] || { state: 'none' };
      const el = $('v-' + q);
      const st = ['valid', 'stale', 'alarm'].includes(v.state) ? v.state : 'none';
      setText(el, st === 'none' || v.text === undefined ? '—' : v.text + '°');
      setClass(el, 'value ' + st + (st === 'alarm' && sounding(q) ? ' sounding' : ''));
      let note = v.source ? tr('source', v.source) : '';
      if (st === 'stale' && typeof v.ageMs === 'number') note = staleText(v.ageMs) + (note ? ' · ' + note : '');
      setText($('s-' + q), note);
      const needle = $('n-' + q);
      if (st !== 'none' && typeof v.v === 'number') {
        // The bow on the left, as on the window's dial: a positive pitch
        // (bow up) turns it clockwise, like a roll to starboard.
        const angle = v.v;
        needle.setAttribute('transform', 'rotate(' + angle.toFixed(2) + ')');
        needle.style.visibility = '';
      } else needle.style.visibility = 'hidden';
    }
    for (const q of MORE) {
      const v = values[q] || { state: 'none' };
      const el = $('v-' + q);
      const unit = q === 'rateOfTurn' ? tr('perMinute') : q === 'headingMagnetic' ? '°' : '';
      setText(el, v.state === 'none' || !v.text ? '—' : v.text + unit);
      setClass(el, ['valid', 'stale', 'alarm'].includes(v.state) ? v.state : 'none');
    }
    renderAlarms(s);
    renderHealth(s);
    renderEvents(s.events || []);
  }

  function renderAlarms(s) {
    const list = $('alarms');
    const alarms = (s.alarms || []).filter((a) => a.state !== 'normal');
    const key = lang + JSON.stringify(alarms) + s.sounding;
    if (list.dataset.key === key) return;
    list.dataset.key = key;
    list.textContent = '';
    if (!alarms.length) {
      const li = document.createElement('li');
      li.className = 'normal';
      li.textContent = tr('noAlarms');
      list.appendChild(li);
      return;
    }
    for (const a of alarms) {
      const li = document.createElement('li');
      li.className = a.state + (a.state === 'active' && s.sounding ? ' sounding' : '');
      li.dataset.subject = a.subject;
      // The program's own alarm text when the page speaks the program's language.
      li.textContent = a.text && hello && hello.lang === lang ? a.text
        : (T['subj_' + a.subject] ? tr('subj_' + a.subject) : a.subject) + ' · ' + tr(a.state);
      list.appendChild(li);
    }
  }

  function renderHealth(s) {
    const h = s.health || {};
    const key = lang + JSON.stringify(h) + JSON.stringify(s.sources || []);
    const card = $('card-health');
    if (card.dataset.key === key) return;
    card.dataset.key = key;
    const sources = $('sources');
    sources.textContent = '';
    for (const src of s.sources || []) {
      const li = document.createElement('li');
      li.textContent = src.text || (src.label ? src.label + ': ' : '') + (src.link || '');
      li.className = src.link === 'connected' ? 'valid' : 'alarm';
      sources.appendChild(li);
    }
    const counts = $('counts');
    counts.textContent = '';
    for (const k of ['messages', 'badPackets', 'overlongLines', 'droppedBytes', 'reconnects', 'datagramsLost']) {
      if (h[k] === undefined) continue;
      const dt = document.createElement('dt');
      dt.textContent = tr(k);
      const dd = document.createElement('dd');
      dd.id = 'h-' + k;
      dd.textContent = String(h[k]);
      counts.append(dt, dd);
    }
    for (const [k, n] of Object.entries(h.web || {})) {
      if (!n || !T['web_' + k]) continue;
      const dt = document.createElement('dt');
      dt.textContent = tr('web_' + k);
      const dd = document.createElement('dd');
      dd.textContent = String(n);
      counts.append(dt, dd);
    }
    const body = $('types').tBodies[0];
    body.textContent = '';
    for (const t of h.types || []) {
      const row = body.insertRow();
      row.insertCell().textContent = t.type;
      row.insertCell().textContent = String(t.count);
      row.insertCell().textContent = typeof t.rate === 'number' ? t.rate.toFixed(1) : '';
    }
    setText($('record'), h.record ? tr('record') + ': ' + h.record : '');
  }

  function renderEvents(lines) {
    const list = $('events');
    const key = lines.join('\n');
    if (list.dataset.key === key) return;
    list.dataset.key = key;
    const atEnd = list.scrollTop + list.clientHeight >= list.scrollHeight - 4;
    list.textContent = '';
    for (const line of lines) {
      const li = document.createElement('li');
      li.textContent = line;
      list.appendChild(li);
    }
    if (atEnd) list.scrollTop = list.scrollHeight;
  }

  // The last minutes: heading above (0..360), pitch and roll below on one
  // scale with the limits. A line breaks where there is no value, where time
  // jumps, and where the heading crosses north (no stroke across the panel).
  const COLOURS = { heading: '#4fc3f7', pitch: '#c8a060', roll: '#ff8a80' };
  function drawCurves() {
    const canvas = $('curves');
    const ratio = window.devicePixelRatio || 1;
    const w = canvas.clientWidth;
    const h = canvas.clientHeight;
    if (!w || !h) return;
    if (canvas.width !== Math.round(w * ratio) || canvas.height !== Math.round(h * ratio)) {
      canvas.width = Math.round(w * ratio);
      canvas.height = Math.round(h * ratio);
    }
    const g = canvas.getContext('2d');
    g.setTransform(ratio, 0, 0, ratio, 0, 0);
    g.clearRect(0, 0, w, h);
    g.font = '11px sans-serif';
    const left = 34;
    const right = w - 6;
    const split = Math.round(h * 0.45);
    const panels = [[6, split - 8], [split + 8, h - 16]];
    const end = state ? state.t : Date.now();
    const start = end - HISTORY_MS;
    const x = (t) => left + ((t - start) / HISTORY_MS) * (right - left);
    const limits = (hello && hello.limits) || {};
    // The scale holds what was received and the limit of each angle received.
    let extent = 5;
    const seen = { pitch: false, roll: false };
    for (const s of samples) {
      for (const [i, q] of [[2, 'pitch'], [3, 'roll']]) {
        if (s[i] === null || s[i] === undefined) continue;
        seen[q] = true;
        extent = Math.max(extent, Math.abs(s[i]));
      }
    }
    for (const q of ['pitch', 'roll']) if (seen[q]) extent = Math.max(extent, Number(limits[q]) || 0);
    extent = Math.ceil(extent * 1.1);
    const yHeading = (v) => panels[0][0] + (1 - v / 360) * (panels[0][1] - panels[0][0]);
    const mid = (panels[1][0] + panels[1][1]) / 2;
    const yAngle = (v) => mid - (v / extent) * ((panels[1][1] - panels[1][0]) / 2);

    g.strokeStyle = '#2c3a47';
    g.fillStyle = '#8796a3';
    g.lineWidth = 1;
    g.textAlign = 'right';
    g.textBaseline = 'middle';
    const grid = (y, label) => {
      g.beginPath(); g.moveTo(left, Math.round(y) + 0.5); g.lineTo(right, Math.round(y) + 0.5); g.stroke();
      g.fillText(label, left - 4, y);
    };
    for (const v of [0, 90, 180, 270, 360]) grid(yHeading(v), String(v));
    for (const v of [-extent, 0, extent]) grid(yAngle(v), String(v));
    g.textAlign = 'center';
    for (let m = 1; m <= 4; m++) g.fillText('-' + m + "'", x(end - m * 60000), h - 7);
    g.setLineDash([5, 4]);
    g.strokeStyle = '#ff4d4d';
    for (const q of ['pitch', 'roll']) {
      const l = Number(limits[q]);
      if (!(l > 0) || l > extent) continue;
      for (const v of [l, -l]) { g.beginPath(); g.moveTo(left, yAngle(v)); g.lineTo(right, yAngle(v)); g.stroke(); }
    }
    g.setLineDash([]);
    const series = [['heading', 1, yHeading, true], ['pitch', 2, yAngle, false], ['roll', 3, yAngle, false]];
    g.lineWidth = 1.5;
    for (const [name, i, y, wraps] of series) {
      g.strokeStyle = online ? COLOURS[name] : '#7b8792';
      g.beginPath();
      let prev = null;
      for (const s of samples) {
        if (s[0] < start) continue;
        const v = s[i];
        if (v === null || v === undefined) { prev = null; continue; }
        const broken = !prev || s[0] - prev[0] > 2000 || (wraps && Math.abs(v - prev[1]) > 180);
        if (broken) g.moveTo(x(s[0]), y(v)); else g.lineTo(x(s[0]), y(v));
        prev = [s[0], v];
      }
      g.stroke();
    }
    g.textAlign = 'left';
    let lx = left + 4;
    for (const name of QUANTITIES) {
      g.fillStyle = online ? COLOURS[name] : '#7b8792';
      const label = tr(name);
      g.fillText(label, lx, name === 'heading' ? panels[0][0] + 8 : panels[1][0] + 8);
      if (name !== 'heading') lx += g.measureText(label).width + 12;
    }
    if (!samples.some((s) => s[1] !== null || s[2] !== null || s[3] !== null)) {
      g.fillStyle = '#8796a3';
      g.textAlign = 'center';
      g.fillText(tr('noData'), (left + right) / 2, h / 2);
    }
  }
  window.addEventListener('resize', ask);

  // After the first paint: the page's own words show at once, the rest follows.
  function start() {
    drawTicks();
    applyLanguage();
    connect();
  }
  if (document.hidden) start(); // a tab opened behind others gets no frames
  else requestAnimationFrame(() => setTimeout(start, 0));
})();
