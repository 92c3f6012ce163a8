// Placeholder: shows the stream's values as they come.
'use strict';
const socket = new WebSocket(`ws://${location.host}/ws`);
const $ = (id) => document.getElementById(id);
socket.onmessage = (event) => {
  const m = JSON.parse(event.data);
  if (m.type === 'hello') {
    $('vessel').textContent = m.vessel || m.program;
    document.documentElement.lang = m.lang;
  } else if (m.type === 'state') {
    $('values').innerHTML = '';
    for (const [name, v] of Object.entries(m.values)) {
      const row = $('values').insertRow();
      row.insertCell().textContent = name;
      row.insertCell().textContent = v.text;
      row.insertCell().textContent = v.state;
    }
    $('alarms').innerHTML = '';
    for (const a of m.alarms.filter((x) => x.state !== 'normal')) {
      const li = document.createElement('li');
      li.textContent = a.text;
      $('alarms').appendChild(li);
    }
    $('events').textContent = m.events.join('\n');
  }
};
for (const cmd of ['ack', 'silence']) {
  $(cmd).onclick = () => socket.send(JSON.stringify({ cmd, password: prompt('Password') || '' }));
}
