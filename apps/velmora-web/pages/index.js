// The dashboard: every line of the record, kept live by the event stream.
'use strict';

(() => {
  const body = document.querySelector('#lines tbody');
  const rows = new Map();  // line name: its table row

  function show(line) {
    let tr = rows.get(line.line);
    if (!tr) {
      tr = document.createElement('tr');
      tr.dataset.line = line.line;
      rows.set(line.line, tr);
      body.appendChild(tr);
    }
    tr.replaceChildren();
    const name = document.createElement('td');
    const link = document.createElement('a');
    link.href = '/lines/' + encodeURIComponent(line.line);
    link.textContent = line.line;
    name.appendChild(link);
    tr.appendChild(name);
    Velmora.cell(tr, line.rows, 'number').dataset.field = 'rows';
    Velmora.cell(tr, line.ok_percent.toFixed(1), 'number').dataset.field = 'ok_percent';
    Velmora.cell(tr, line.devices_per_minute.toFixed(1), 'number').dataset.field = 'devices_per_minute';
    Velmora.cell(tr, line.stations_working, 'number').dataset.field = 'stations_working';
    Velmora.cell(tr, line.in_doubt, 'number').dataset.field = 'in_doubt';
    document.getElementById('empty').hidden = true;
  }

  async function load() {
    const lines = await Velmora.api('/api/v1/lines');
    lines.forEach(show);
    document.getElementById('empty').hidden = lines.length > 0;
  }

  // A line's news, as the dashboard shows it.
  function fromEvent(event) {
    const status = event.status;
    const working = new Set(status.lanes.filter((lane) => lane.live).map((lane) => lane.station));
    show({line: event.line, rows: status.rows,
          ok_percent: status.rows ? Math.round(status.ok * 1000 / status.rows) / 10 : 0,
          devices_per_minute: status.devices_per_minute, stations_working: working.size,
          in_doubt: status.in_doubt.length});
  }

  document.addEventListener('DOMContentLoaded', () => {
    load().catch(() => {});
    document.addEventListener('velmora-login', () => load().catch(() => {}));
    Velmora.stream('', fromEvent, () => load().catch(() => {}));
  });
})();
