// What every page of velmora-web shares: its texts (in the page's
// #texts), cells that show the record's values as text only, requests to
// the API, the login, and the live stream.
'use strict';

const Velmora = (() => {
  const texts = JSON.parse(document.getElementById('texts').textContent);
  const say = (key, ...values) =>
    values.reduce((text, value, i) => text.replace('%' + (i + 1), String(value)), texts[key] || key);

  // A device's outcome, which the record keeps in English, in the page's
  // language: its phrases found, nested or joined by "; ", and each said.
  const phrases = Object.entries(texts['@phrases'] || {}).map(([source, translated]) => ({
    match: new RegExp('^' + source.replace(/[.*+?^${}()|[\]\\]/g, '\\$&').replace(/%[1-9]/g, '(.+?)') + '$', 's'),
    translated,
  }));
  function said(text) {
    if (!phrases.length || typeof text !== 'string') return text;
    return text.split('; ').map(part => {
      for (const phrase of phrases) {
        const found = phrase.match.exec(part);
        if (found) return phrase.translated.replace(/%([1-9])/g, (placeholder, n) => said(found[Number(n)] || ''));
      }
      return part;
    }).join(texts['@joint']);
  }

  // A value of the record, always as text: never as markup.
  function cell(row, value, className) {
    const td = document.createElement('td');
    td.textContent = value === null || value === undefined ? '' : String(value);
    if (className) td.className = className;
    row.appendChild(td);
    return td;
  }

  let session = null;

  async function api(path, options = {}) {
    const headers = Object.assign({}, options.headers || {});
    if (options.body !== undefined) headers['Content-Type'] = 'application/json';
    if (session && options.method && options.method !== 'GET') headers['X-CSRF-Token'] = session.csrf;
    const response = await fetch(path, {method: options.method || 'GET', headers, credentials: 'same-origin',
                                        body: options.body === undefined ? undefined : JSON.stringify(options.body)});
    const answer = response.headers.get('Content-Type') && response.headers.get('Content-Type').startsWith('application/json')
      ? await response.json() : await response.text();
    if (response.status === 401 && !path.endsWith('/login')) showLogin();
    if (!response.ok) throw Object.assign(new Error(answer.error || response.statusText), {status: response.status});
    return answer;
  }

  function showSession() {
    const who = document.getElementById('who');
    who.textContent = session ? say('loggedInAs', session.role) + (session.planner ? ' (' + say('planner') + ')' : '') : '';
    document.getElementById('login-button').hidden = !!session;
    document.getElementById('logout-button').hidden = !session;
    document.dispatchEvent(new CustomEvent('velmora-session'));
  }

  function showLogin() {
    const dialog = document.getElementById('login');
    if (!dialog.open) dialog.showModal();
  }

  function setUpLogin() {
    const dialog = document.getElementById('login');
    const form = document.getElementById('login-form');
    document.getElementById('login-button').addEventListener('click', showLogin);
    document.getElementById('login-cancel').addEventListener('click', () => dialog.close());
    document.getElementById('logout-button').addEventListener('click', async () => {
      await api('/api/v1/logout', {method: 'POST', body: {}}).catch(() => {});
      session = null;
      showSession();
    });
    form.addEventListener('submit', async (event) => {
      event.preventDefault();
      const error = document.getElementById('login-error');
      error.textContent = '';
      try {
        session = await api('/api/v1/login', {method: 'POST',
                                               body: {role: form.role.value, password: form.password.value}});
        form.password.value = '';
        dialog.close();
        showSession();
        document.dispatchEvent(new CustomEvent('velmora-login'));
      } catch (failure) {
        error.textContent = failure.message || say('failed');
      }
    });
    api('/api/v1/session').then((answer) => {
      session = answer.logged_in ? answer : null;
      showSession();
    }).catch(() => showSession());
  }

  // The live stream: onEvent for each line's news, onRefresh when what was
  // shown may be behind (a reconnection).
  function stream(query, onEvent, onRefresh) {
    const live = document.getElementById('live');
    const source = new EventSource('/api/v1/events' + query);
    let wasOpen = false;
    source.addEventListener('open', () => {
      live.textContent = say('live');
      live.classList.remove('offline');
      if (wasOpen) onRefresh();
      wasOpen = true;
    });
    source.addEventListener('error', () => {
      live.textContent = say('offline');
      live.classList.add('offline');
    });
    source.addEventListener('line', (event) => onEvent(JSON.parse(event.data)));
    source.addEventListener('refresh', () => onRefresh());
    return source;
  }

  function time(iso) {
    return iso ? new Date(iso).toLocaleString() : '';
  }

  // The language switch: remembered in a cookie the server reads, for every page.
  function setUpLanguages() {
    const current = document.documentElement.lang.replace('-', '_');
    for (const button of document.querySelectorAll('#languages button')) {
      button.setAttribute('aria-pressed', String(button.dataset.language === current));
      button.addEventListener('click', () => {
        document.cookie = 'velmora_lang=' + button.dataset.language + '; Path=/; SameSite=Strict; Max-Age=31536000';
        location.reload();
      });
    }
  }

  document.addEventListener('DOMContentLoaded', setUpLogin);
  document.addEventListener('DOMContentLoaded', setUpLanguages);
  return {say, said, cell, api, stream, time, session: () => session};
})();
