// A line: its progress, counts, pace, failures, stations, rows in doubt and
// a page of its rows, kept live by the event stream. The rows come a page
// at a time from the server, filtered there.
'use strict';

(() => {
  const name = decodeURIComponent(location.pathname.split('/')[2] || '');
  const base = '/api/v1/lines/' + encodeURIComponent(name);
  const pageSize = 50;
  let offset = 0;
  let filter = new URLSearchParams();
  let chart = null;
  let doubts = [];

  function showStatus(status) {
    document.getElementById('progress').max = Math.max(1, status.rows);
    document.getElementById('progress').value = status.ok;
    document.getElementById('done').textContent = Velmora.say('done', status.ok, status.rows);
    const left = status.seconds_left;
    document.getElementById('time-left').textContent = left < 0 ? Velmora.say('unknown')
      : left >= 3600 ? Velmora.say('hoursMinutes', Math.floor(left / 3600), Math.floor(left % 3600 / 60))
      : Velmora.say('minutesSeconds', Math.floor(left / 60), left % 60);
    const settled = status.ok + status.failed;
    document.getElementById('yield').textContent = settled ? (status.ok * 100 / settled).toFixed(1) + ' %' : '–';
    const counts = Object.assign({}, status, {in_doubt: status.in_doubt.length});
    for (const td of document.querySelectorAll('[data-count]'))
      td.textContent = String(counts[td.dataset.count]);
    doubts = status.in_doubt;
    showDoubts();
    // When the page became usable, for the browser's performance tools.
    if (!performance.getEntriesByName('counts-shown').length)
      performance.mark('counts-shown');
  }

  function showDoubts() {
    const body = document.querySelector('#doubts tbody');
    body.replaceChildren();
    const session = Velmora.session();
    for (const doubt of doubts) {
      const tr = document.createElement('tr');
      tr.dataset.row = doubt.row;
      Velmora.cell(tr, doubt.row, 'number');
      Velmora.cell(tr, doubt.id);
      Velmora.cell(tr, doubt.station);
      Velmora.cell(tr, doubt.lane);
      Velmora.cell(tr, Velmora.time(doubt.since));
      const actions = Velmora.cell(tr, '');
      if (session && session.planner) {
        for (const as of ['ok', 'free']) {
          const button = document.createElement('button');
          button.type = 'button';
          button.className = 'settle-' + as;
          button.textContent = Velmora.say(as === 'ok' ? 'settleOk' : 'settleFree');
          button.addEventListener('click', () => settle(doubt.row, as));
          actions.appendChild(button);
        }
      }
      body.appendChild(tr);
    }
  }

  async function settle(row, as) {
    if (!confirm(Velmora.say('settleConfirm', row, as))) return;
    try {
      await Velmora.api(base + '/rows/' + row + '/settle', {method: 'POST', body: {as}});
    } catch (failure) {
      alert(failure.message);
    }
    loadStatus().catch(() => {});
  }

  function showActivity(activity) {
    const labels = activity.ok_per_minute.map((_, i) => i === 59 ? Velmora.say('now') : Velmora.say('minutesAgo', 59 - i));
    if (!chart && window.Chart) {
      chart = new Chart(document.getElementById('chart'), {
        type: 'bar',
        data: {labels, datasets: [{label: Velmora.say('chartLabel'), data: activity.ok_per_minute, backgroundColor: '#1f3a5f'}]},
        options: {animation: false, responsive: false, scales: {y: {beginAtZero: true}}, plugins: {legend: {display: false}}},
      });
    } else if (chart) {
      chart.data.labels = labels;
      chart.data.datasets[0].data = activity.ok_per_minute;
      chart.update('none');
    }
    const failures = document.querySelector('#failures tbody');
    failures.replaceChildren();
    const total = activity.failures.reduce((sum, failure) => sum + failure.count, 0);
    let cumulative = 0;
    for (const failure of activity.failures) {
      cumulative += failure.count;
      const tr = document.createElement('tr');
      Velmora.cell(tr, failure.result);
      Velmora.cell(tr, Velmora.said(failure.detail));
      Velmora.cell(tr, failure.count, 'number');
      Velmora.cell(tr, (cumulative * 100 / total).toFixed(0), 'number');
      failures.appendChild(tr);
    }
    const stations = document.querySelector('#stations tbody');
    stations.replaceChildren();
    for (const station of activity.stations) {
      const tr = document.createElement('tr');
      tr.dataset.station = station.station;
      Velmora.cell(tr, station.station);
      Velmora.cell(tr, Velmora.say(station.state), 'state-' + station.state);
      Velmora.cell(tr, station.lanes);
      Velmora.cell(tr, Velmora.time(station.last_verdict));
      Velmora.cell(tr, station.per_minute.toFixed(1), 'number');
      stations.appendChild(tr);
    }
  }

  function rowCells(tr, row) {
    tr.replaceChildren();
    tr.dataset.row = row.row;
    Velmora.cell(tr, row.row, 'number');
    Velmora.cell(tr, row.id);
    Velmora.cell(tr, row.lip);
    Velmora.cell(tr, row.mac);
    Velmora.cell(tr, row.sn);
    Velmora.cell(tr, row.state, 'state-' + row.state).dataset.field = 'state';
    Velmora.cell(tr, row.result);
    Velmora.cell(tr, row.station);
    Velmora.cell(tr, row.lane);
    Velmora.cell(tr, Velmora.said(row.detail));
    Velmora.cell(tr, Velmora.time(row.changed_at));
  }

  async function loadRows() {
    const query = new URLSearchParams(filter);
    query.set('offset', offset);
    query.set('limit', pageSize);
    const page = await Velmora.api(base + '/rows?' + query);
    const body = document.querySelector('#rows tbody');
    body.replaceChildren();
    for (const row of page.rows) {
      const tr = document.createElement('tr');
      rowCells(tr, row);
      body.appendChild(tr);
    }
    document.getElementById('page').textContent =
      Velmora.say('page', page.total ? offset + 1 : 0, offset + page.rows.length, page.total);
    document.getElementById('previous').disabled = offset === 0;
    document.getElementById('next').disabled = offset + page.rows.length >= page.total;
  }

  async function loadStatus() {
    showStatus(await Velmora.api(base));
    showActivity(await Velmora.api(base + '/activity'));
  }

  function load() {
    loadStatus().catch((failure) => {
      if (failure.status === 404) document.getElementById('live').textContent = Velmora.say('noSuchLine');
    });
    loadRows().catch(() => {});
  }

  // The rows shown that the news names change in place; the filter is the
  // server's, so a row that no longer matches stays until the next page.
  function fromEvent(event) {
    showStatus(event.status);
    showActivity(event.activity);
    for (const row of event.rows) {
      const tr = document.querySelector('#rows tbody tr[data-row="' + row.row + '"]');
      if (tr) {
        rowCells(tr, row);
        tr.classList.add('changed');
      }
    }
  }

  document.addEventListener('DOMContentLoaded', () => {
    document.getElementById('name').textContent = name;
    document.title = 'Velmora: ' + name;
    document.getElementById('csv').href = base + '/export.csv';
    const form = document.getElementById('filter');
    form.addEventListener('submit', (event) => {
      event.preventDefault();
      filter = new URLSearchParams();
      for (const key of ['q', 'state', 'result', 'station'])
        if (form[key].value) filter.set(key, form[key].value);
      offset = 0;
      loadRows().catch(() => {});
    });
    document.getElementById('previous').addEventListener('click', () => {
      offset = Math.max(0, offset - pageSize);
      loadRows().catch(() => {});
    });
    document.getElementById('next').addEventListener('click', () => {
      offset += pageSize;
      loadRows().catch(() => {});
    });
    document.addEventListener('velmora-session', showDoubts);
    document.addEventListener('velmora-login', load);
    load();
    Velmora.stream('?line=' + encodeURIComponent(name), fromEvent, load);
  });
})();
