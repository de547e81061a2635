// The bench page's script: live calibrator stations from the server's events, their
// operations sent without leaving the page, and the instruments list filtered as one types.
// Every text from the server goes into the page as text, never as markup.
'use strict';

const csrf = () => document.querySelector('meta[name="csrf-token"]').content;

function text(element, value) {
  if (element) element.textContent = value == null ? '' : String(value);
}

function field(station, name) {
  return station.querySelector('[data-field="' + name + '"]');
}

function duration(seconds) {
  if (seconds == null) return '';
  if (seconds < 60) return seconds + ' s left';
  return Math.floor(seconds / 60) + ' min ' + (seconds % 60) + ' s left';
}

function kilobytes(bytes) {
  return bytes < 10240 ? bytes + ' bytes' : Math.round(bytes / 1024) + ' KB';
}

// Shows a station's state, as the server published it.
function show(state) {
  const station = document.getElementById(state.id);
  if (!station) return;
  station.dataset.status = state.status;
  text(field(station, 'status'), state.status);
  const c = state.calibrator;
  text(field(station, 'calibrator'), c && c.model ? c.model + ' ' + c.serialNumber + ', ' +
       c.resultItems + ' result items' : '');
  text(field(station, 'phase'), state.phase);
  const p = state.progress;
  const bar = field(station, 'bar');
  if (p && p.items > 0) {
    bar.max = p.items;
    bar.value = p.item;
    text(field(station, 'figures'), p.what + ': item ' + p.item + ' of ' + p.items + ', ' +
         kilobytes(p.bytes) + ' of ' + kilobytes(p.totalBytes) +
         (p.item < p.items ? ', ' + duration(p.secondsLeft) : ''));
  } else {
    bar.value = 0;
    text(field(station, 'figures'), '');
  }
  const o = state.outcome;
  const outcome = field(station, 'outcome');
  outcome.className = 'outcome' + (o ? ' ' + o.kind : '');
  text(field(station, 'message'), o ? o.op + ': ' + (o.kind === 'done' ? 'done: ' : 'failed: ') +
       o.message : '');
  const problems = field(station, 'problems');
  problems.replaceChildren();
  for (const problem of (o && o.problems) || []) {
    const item = document.createElement('li');
    item.textContent = problem.field + ': ' + problem.message;
    problems.append(item);
  }
  const instruments = field(station, 'instruments');
  instruments.replaceChildren();
  for (const i of (o && o.instruments) || []) {
    const a = document.createElement('a');
    a.href = i.href;
    a.textContent = i.shown;
    instruments.append(a, ' ');
  }
  text(field(station, 'note'), state.note);
  for (const button of station.querySelectorAll('.ops button')) {
    button.disabled = state.status === 'busy';
  }
}

function live(container) {
  for (const station of container.querySelectorAll('section.station')) {
    show(JSON.parse(station.dataset.state));
  }
  const source = new EventSource(container.dataset.live);
  source.addEventListener('station', (event) => show(JSON.parse(event.data)));
  for (const form of container.querySelectorAll('form.op')) {
    form.addEventListener('submit', async (event) => {
      event.preventDefault();
      const station = form.closest('section.station');
      const reply = await fetch(form.action, {
        method: 'POST',
        body: new FormData(form),
        headers: { 'Accept': 'application/json', 'X-CSRF-Token': csrf() },
      });
      if (!reply.ok) {
        const body = await reply.json().catch(() => ({ error: reply.statusText }));
        const outcome = field(station, 'outcome');
        outcome.className = 'outcome failed';
        text(field(station, 'message'), body.error);
        const problems = field(station, 'problems');
        problems.replaceChildren();
        for (const problem of body.problems || []) {
          const item = document.createElement('li');
          item.textContent = problem.field + ': ' + problem.message;
          problems.append(item);
        }
      }
    });
  }
}

// The instruments table shows only the rows whose tag holds what is typed.
function filter(input) {
  const table = document.getElementById(input.dataset.filter);
  input.addEventListener('input', () => {
    const wanted = input.value.toLowerCase();
    for (const row of table.tBodies[0] ? table.tBodies[0].rows : table.querySelectorAll('tr[data-search]')) {
      if (row.dataset.search !== undefined) row.hidden = !row.dataset.search.includes(wanted);
    }
  });
}

document.addEventListener('DOMContentLoaded', () => {
  for (const container of document.querySelectorAll('[data-live]')) live(container);
  for (const input of document.querySelectorAll('input[data-filter]')) filter(input);
  for (const select of document.querySelectorAll('select[data-submit]')) {
    select.addEventListener('change', () => select.form.submit());
  }
});
