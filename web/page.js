// The page: the data (a file chosen or dropped, a pasted table or the
// bundled example), the options, and the report. Nothing here computes: a
// worker runs the engine (worker.js), and the report is the engine's own
// page, as `zover --format html` writes it, shown in a frame that runs no
// script. The page's state is in <body data-state>: empty, busy, done,
// refused or failed.
'use strict';

// The options, one line each: the command line's name (also the key that
// web/zover_web.cpp's kSettings maps onto the engine's reading and analysis
// options; the label is --name unless given), the control (check: a check
// box; text: a field, with an example; choices: a list whose first entry,
// the default, is not sent; set: check boxes whose ticked names are joined
// by commas), the layouts it fits (all when not given), the option a tick
// unticks, and its line of help. A new option is one line here and one
// there.
const OBSERVED = ['raw', 'frequencies', 'long'];
const OPTIONS = [
  {name: 'layout', label: 'layout', choices: ['raw', 'frequencies', 'long', 'model'],
    help: 'a line holds: raw, an object\'s class (1 to K) from each rater; frequencies (-f), a class per rater ' +
          'and then how many objects got them; long (--long), one rating: object, rater, rating; model (-m), the ' +
          'model data of the dialogue\'s mode 4'},
  {name: 'header', check: true, layouts: OBSERVED, excludes: 'no-header',
    help: 'the first line names the raters (long: the three columns)'},
  {name: 'no-header', check: true, layouts: OBSERVED, excludes: 'header',
    help: 'the first line is data, though it looks like names'},
  {name: 'sep', choices: ['as the first line says', 'comma', 'semicolon', 'tab', 'blank'], layouts: OBSERVED,
    help: 'the separator of the fields (blank: runs of blanks)'},
  {name: 'id', check: true, layouts: ['raw'], help: 'the first field of every line names the object'},
  {name: 'raters', text: 'A,B,C', layouts: ['raw'],
    help: 'the raters\' columns, by header name or number from 1; other columns are not read'},
  {name: 'long-columns', text: 'item,coder,label', layouts: ['long'],
    help: 'the object\'s, the rater\'s and the rating\'s columns, by header name or number from 1'},
  {name: 'missing', check: true, layouts: ['raw', 'long'], help: 'an empty field, NA or . is a missing rating'},
  {name: 'labels', check: true, layouts: OBSERVED, help: 'every rating is a label, any text, not a class number'},
  {name: 'classes', text: 'no,maybe,yes', layouts: OBSERVED, help: 'the classes\' labels in their order, comma-separated'},
  {name: 'weights', choices: ['identity', 'linear', 'quadratic'], layouts: OBSERVED,
    help: 'ordered classes: adds weighted kappa, Gwet\'s AC2 and the weighted coefficients'},
  {name: 'alpha-level', set: ['nominal', 'ordinal', 'interval', 'ratio'], layouts: OBSERVED,
    help: 'Krippendorff\'s alpha at these levels, each with a bootstrap interval'},
  {name: 'bootstrap', text: '1000', layouts: OBSERVED, help: 'bootstrap resamples of each alpha (0: no intervals)'},
  {name: 'bootstrap-method', choices: ['objects', 'pairs'], layouts: OBSERVED,
    help: 'a resample draws whole objects, or pairs of ratings (too narrow with more than two ratings an object)'},
  {name: 'seed', text: '1', layouts: OBSERVED, help: 'the bootstrap\'s seed, a whole number'},
  {name: 'level', text: '0.95', help: 'the level of every confidence interval, between 0 and 1'},
  {name: 'pairs', check: true, layouts: OBSERVED,
    help: 'every pair of raters, however many (beyond 100 raters they are left out: their cost grows with R\u00b2)'},
  {name: 'objects', check: true, layouts: ['raw', 'long'],
    help: 'the adjudication list: every object, most disputed first'},
];

const $ = (id) => document.getElementById(id);
const EXAMPLE = $('zover-example');
const workerUrl = URL.createObjectURL(new Blob([$('zover-worker').textContent], {type: 'text/javascript'}));
// The engine, compiled once; every worker instantiates it.
const engine = WebAssembly.compile(Uint8Array.from(atob($('zover-wasm').textContent.trim()), (c) => c.charCodeAt(0)));
engine.catch((why) => showMessage('This browser cannot run the analysis (WebAssembly): ' + why));

const job = {data: null, name: '', worker: null, started: 0, read: 0, size: 0, ticker: 0};
let outputs = null;  // the last report's outputs, to save
let again = 0;       // the analysis after a change of the options, a moment later

// --- The options -------------------------------------------------------------

function control(option) {
  const id = 'option-' + option.name;
  if (option.check) return `<input type="checkbox" id="${id}" data-option="${option.name}">`;
  if (option.text) {
    return `<input type="text" id="${id}" data-option="${option.name}" placeholder="${option.text}" ` +
           'spellcheck="false" autocomplete="off">';
  }
  if (option.choices) {
    const choices = option.choices.map((choice) => `<option>${choice}</option>`).join('');
    return `<select id="${id}" data-option="${option.name}">${choices}</select>`;
  }
  return `<span id="${id}" data-option="${option.name}" data-set="1">` + option.set.map((name) =>
    `<label><input type="checkbox" value="${name}"> ${name}</label>`).join(' ') + '</span>';
}

function buildOptions() {
  $('option-list').innerHTML = OPTIONS.map((option) => {
    const name = option.set ? `<span class="name">` : `<label class="name" for="option-${option.name}">`;
    const label = option.label || '--' + option.name;
    return `<div class="option">${name}<code>${label}</code>${option.set ? '</span>' : '</label>'}` +
           `<span class="control">${control(option)}</span><span class="help">${option.help}</span></div>`;
  }).join('');
}

// The options that fit the layout, as the engine takes them: a ticked box
// as "1", a text or a set only when given, a list unless at its default.
function settings() {
  const layout = $('option-layout').value;
  const given = {};
  for (const option of OPTIONS) {
    const element = $('option-' + option.name);
    const fits = !option.layouts || option.layouts.includes(layout);
    element.closest('.option').classList.toggle('off', !fits);
    element.querySelectorAll('input').forEach((input) => { input.disabled = !fits; });
    if (element.matches('input, select')) element.disabled = !fits;
    if (!fits) continue;
    if (option.check) {
      if (element.checked) given[option.name] = '1';
    } else if (option.set) {
      const ticked = [...element.querySelectorAll('input:checked')].map((input) => input.value);
      if (ticked.length) given[option.name] = ticked.join(',');
    } else if (option.choices ? element.selectedIndex > 0 : element.value.trim() !== '') {
      given[option.name] = element.value.trim();
    }
  }
  return given;
}

// --- The analysis ------------------------------------------------------------

// Megabytes, with a decimal below 10 MB of the whole.
function megabytes(bytes) {
  return (bytes / 1e6).toFixed(job.size < 1e7 ? 1 : 0);
}

function showState(state, text) {
  document.body.dataset.state = state;
  $('status').textContent = text;
}

function tick() {
  const seconds = ((performance.now() - job.started) / 1000).toFixed(1);
  const progress = $('progress');
  if (job.read < job.size) {
    progress.value = job.read / job.size;
    showState('busy', `Reading ${job.name}: ${megabytes(job.read)} of ${megabytes(job.size)} MB ` +
                      `(${Math.floor(100 * job.read / job.size)} %), ${seconds} s`);
  } else {
    progress.removeAttribute('value');
    showState('busy', `Analysing ${job.name} (${megabytes(job.size)} MB), ${seconds} s`);
  }
}

function finish() {
  clearInterval(job.ticker);
  $('progress').hidden = true;
  if (job.worker) job.worker.terminate();
  job.worker = null;
}

function showMessage(text) {
  $('message').textContent = text;
  $('message').hidden = !text;
}

// Shows the report in its frame; `shown` runs once the frame has loaded it,
// so that the page says "done" only when the report can be read.
function showReport(result, shown) {
  outputs = Object.assign({name: job.name}, result);
  const frame = $('report');
  frame.addEventListener('load', shown, {once: true});
  frame.srcdoc = result.html;
  frame.hidden = false;
  $('saves').hidden = false;
}

function hideReport() {
  outputs = null;
  $('report').hidden = true;
  $('report').removeAttribute('srcdoc');
  $('saves').hidden = true;
}

function analyse() {
  clearTimeout(again);
  if (!job.data) return;
  finish();
  showMessage('');
  Object.assign(job, {started: performance.now(), read: 0, size: job.data.size});
  let worker;
  try {
    worker = job.worker = new Worker(workerUrl);
  } catch (error) {
    fail(error.message);
    return;
  }
  $('progress').hidden = false;
  tick();
  job.ticker = setInterval(tick, 200);
  worker.onmessage = (event) => {
    const message = event.data;
    if (message.type === 'progress') {
      job.read = message.read;
      tick();
      return;
    }
    const seconds = ((performance.now() - job.started) / 1000).toFixed(2);
    finish();
    if (message.type === 'done' && message.status === 0) {
      const warnings = message.outputs.warnings.split('\n').length - 1;
      const warned = warnings ? `, with ${warnings} warning${warnings > 1 ? 's' : ''} at the top of the report` : '';
      const name = job.name;
      showReport(message.outputs, () => showState('done', `${name}: analysed in ${seconds} s${warned}.`));
    } else if (message.type === 'done') {
      hideReport();
      showMessage(message.outputs.message);
      showState('refused', `${job.name}: not analysed.`);
    } else {
      fail(message.message);
    }
  };
  worker.onerror = (event) => {
    event.preventDefault();
    finish();
    fail(event.message);
  };
  const given = settings();
  engine.then((module) => worker.postMessage({module, file: job.data, name: job.name, settings: given}), fail);
}

function fail(why) {
  hideReport();
  showMessage('The analysis failed in this browser: ' + why);
  showState('failed', `${job.name}: not analysed.`);
  console.error('zover:', why);
}

function analyseData(data, name) {
  job.data = data;
  job.name = name;
  analyse();
}

function analyseExample() {
  analyseData(new Blob([EXAMPLE.textContent]), EXAMPLE.dataset.name);
}

// --- Saving --------------------------------------------------------------------

const SAVES = {html: ['text/html', '.html'], svg: ['image/svg+xml', '.svg'], json: ['application/json', '.json'],
               csv: ['text/csv', '.csv'], text: ['text/plain', '.txt']};

function save(kind) {
  if (!outputs) return;
  const [type, extension] = SAVES[kind];
  const link = document.createElement('a');
  link.href = URL.createObjectURL(new Blob([outputs[kind]], {type: type + ';charset=utf-8'}));
  link.download = outputs.name.replace(/\.[^.]*$/, '') + '-zover' + extension;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 60000);
}

// --- Wiring ----------------------------------------------------------------------

buildOptions();
settings();
$('option-list').addEventListener('change', (event) => {
  const option = OPTIONS.find((o) => 'option-' + o.name === event.target.id);
  if (option && option.excludes && event.target.checked) $('option-' + option.excludes).checked = false;
  settings();
  clearTimeout(again);
  if (job.data) again = setTimeout(analyse, 250);
});
$('file').addEventListener('change', (event) => {
  const file = event.target.files[0];
  event.target.value = '';  // the same file chosen again is read again
  if (file) analyseData(file, file.name);
});
$('analyse-paste').addEventListener('click', () => {
  const text = $('paste').value;
  if (text.trim()) analyseData(new Blob([text]), 'pasted.txt');
});
$('example').addEventListener('click', analyseExample);
$('saves').addEventListener('click', (event) => {
  if (event.target.dataset.save) save(event.target.dataset.save);
});
// A file dropped anywhere on the page is analysed (the browser would
// otherwise open it in place of the page).
document.addEventListener('dragover', (event) => {
  event.preventDefault();
  $('drop').classList.add('over');
});
document.addEventListener('dragleave', (event) => {
  if (!event.relatedTarget) $('drop').classList.remove('over');
});
document.addEventListener('drop', (event) => {
  event.preventDefault();
  $('drop').classList.remove('over');
  const file = event.dataTransfer.files[0];
  if (file) analyseData(file, file.name);
});
// The report's frame as tall as the report, so that the page scrolls as one.
function fitReport() {
  const frame = $('report');
  if (!frame.hidden && frame.contentDocument) {
    frame.style.height = frame.contentDocument.documentElement.scrollHeight + 'px';
  }
}
$('report').addEventListener('load', fitReport);
window.addEventListener('resize', fitReport);
window.addEventListener('hashchange', () => {
  if (location.hash === '#example') analyseExample();
});
showState('empty', 'No data yet: choose, drop or paste a file, or try the example.');
if (location.hash === '#example') analyseExample();
