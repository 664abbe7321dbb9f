// A device's record by its MAC, LIP, SN, id or its label's whole text.
'use strict';

(() => {
  function values(object) {
    return object ? Object.entries(object).map(([key, value]) => key + ' ' + value).join(', ') : '';
  }

  function show(device) {
    const section = document.getElementById('device').content.firstElementChild.cloneNode(true);
    const field = (name) => section.querySelector('[data-field="' + name + '"]');
    field('title').textContent = (device.id || Velmora.say('row', device.row)) + (device.mac ? ' · ' + device.mac : '');
    field('line').textContent = device.line;
    field('line').href = '/lines/' + encodeURIComponent(device.line);
    field('row').textContent = device.row;
    field('state').textContent = device.state + (device.result ? ' (' + device.result + ')' : '');
    field('station').textContent = device.station || '';
    field('lane').textContent = device.lane || '';
    field('changed_at').textContent = Velmora.time(device.changed_at);
    field('planned').textContent = values(device.planned);
    const body = section.querySelector('.attempts tbody');
    for (const attempt of device.attempts) {
      const tr = document.createElement('tr');
      Velmora.cell(tr, Velmora.time(attempt.time));
      Velmora.cell(tr, attempt.station);
      Velmora.cell(tr, attempt.lane);
      Velmora.cell(tr, attempt.result, 'state-' + (attempt.result === 'ok' ? 'ok' : 'failed'));
      Velmora.cell(tr, Velmora.said(attempt.detail));
      Velmora.cell(tr, attempt.ms, 'number');
      Velmora.cell(tr, values(attempt.read_back));
      body.appendChild(tr);
    }
    document.getElementById('devices').appendChild(section);
  }

  async function find(key) {
    document.getElementById('devices').replaceChildren();
    document.getElementById('none').hidden = true;
    if (!key.trim()) return;
    const answer = await Velmora.api('/api/v1/devices?q=' + encodeURIComponent(key));
    answer.devices.forEach(show);
    document.getElementById('none').hidden = answer.devices.length > 0;
  }

  document.addEventListener('DOMContentLoaded', () => {
    const q = document.getElementById('q');
    const form = document.getElementById('find');
    q.value = new URLSearchParams(location.search).get('q') || '';
    // A scanner types a label's lines with Enter between them: the search
    // waits for a pause in the typing instead of taking the first line.
    let pause = null;
    q.addEventListener('keydown', (event) => {
      if (event.key === 'Enter' && !event.shiftKey) {
        clearTimeout(pause);
        pause = setTimeout(() => form.requestSubmit(), 300);
      }
    });
    form.addEventListener('submit', (event) => {
      event.preventDefault();
      history.replaceState(null, '', '/devices?q=' + encodeURIComponent(q.value));
      find(q.value).catch(() => {});
    });
    find(q.value).catch(() => {});
  });
})();
