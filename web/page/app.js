// The voting page: checks the component as it loads, logs the voter in,
// shows the election's cards, lets the voter review the choices, sends the
// vote through the ArdenaX control and gives the voter its receipt.
import { ArdenaX } from './ardenax.js';

// The control's separators: a credential or a choice cannot contain them.
const PARAM_SEPARATOR = '###';
const ATTRIB_SEPARATOR = '=';

const $ = (id) => document.getElementById(id);
// A kiosk (the page opened with ?kiosk) serves voter after voter; at home the receipt step ends.
const kiosk = new URLSearchParams(location.search).has('kiosk');
let control = null;
let election = null;

// The installer to name, for the system the browser says it runs on.
function installerHere() {
  const said = `${navigator.userAgent} ${navigator.platform}`;
  if (/Windows|Win32|Win64/.test(said)) return 'o instalador ArdenaX para Windows';
  if (/Linux/.test(said) && !/Android/.test(said)) return 'o pacote ardenax para Debian';
  return 'o instalador ArdenaX para Windows ou o pacote ardenax para Debian';
}
const INSTALLER = installerHere();

// What a voter is told, by where the page was and what the result says.
const SAY = {
  'obtainToken:refused':
    'O utilizador ou a senha não foram aceites. Verifique-os e tente de novo.',
  'getConfirmationText:refused':
    'O serviço de votação não aceitou o voto (a votação pode estar encerrada). O voto não foi registado.',
  unreachable:
    'Não foi possível contactar o serviço de votação, ou a sua identidade não pôde ser confirmada. ' +
    'Verifique a ligação à Internet e tente de novo dentro de alguns minutos.',
  failed:
    'O componente de voto falhou. Tente de novo; se voltar a acontecer, contacte o apoio ao eleitor ' +
    'com os detalhes abaixo.',
  invalid: 'O componente de voto não aceitou os dados desta página. Contacte o apoio ao eleitor.',
  'missing:extension':
    'A extensão ArdenaX não respondeu nesta página: ou não está instalada neste navegador, ou este site não é ' +
    'um site de votação. Para a instalar, use a loja de extensões do navegador, se a sua eleição lá a publicou, ' +
    `ou ${INSTALLER} que a sua eleição disponibiliza, e recarregue esta página. ` +
    'Se já a tem, confirme que abriu o endereço da página de votação que a sua eleição indicou.',
  'missing:host':
    'A extensão ArdenaX está instalada, mas falta o programa ArdenaX neste computador. ' +
    `Instale-o com ${INSTALLER} que a sua eleição disponibiliza e recarregue esta página.`,
  refused:
    'A extensão ArdenaX está instalada, mas este site não é um site de votação para ela. ' +
    'Confirme que abriu o endereço da página de votação que a sua eleição indicou.',
  disconnected: 'A ligação ao componente de voto terminou. Recarregue a página e volte a entrar.',
  timeout: 'O componente de voto não respondeu. Recarregue a página.',
};

// More for those who help the voter, under Detalhes.
const HELP = {
  'missing:extension':
    'Sem a loja de extensões, carregue a extensão à mão: no Chromium, abra chrome://extensions, ative o ' +
    '«Modo de programador», escolha «Carregar expandida» e indique a pasta da extensão ' +
    '(/usr/share/ardenax/extension com o pacote para Debian, %LOCALAPPDATA%\\Programs\\ArdenaX\\extension ' +
    'com o instalador para Windows).',
};

function showError(text, detail = '', help = '') {
  $('banner-text').textContent = text;
  $('banner-help').textContent = help;
  $('banner-detail-text').textContent = detail;
  $('banner-details').hidden = detail === '';
  $('banner-details').open = false;
  $('banner').hidden = false;
  // The step's controls may be disabled under the focus: the voter starts again from the message.
  $('banner-title').focus();
}

// Shows a failed result of `method`; true when there was one.
function failed(method, result) {
  const kind = control.kindOf(result);
  if (kind === 'ok') return false;
  showError(SAY[`${method}:${kind}`] ?? SAY[kind], result || `${method}: sem resultado`);
  return true;
}

function explain(error) {
  const key = error?.code === 'not-installed' ? `missing:${error.missing}` : error?.code;
  const detail = error?.code ? `${error.code}: ${error.message}` : String(error?.message ?? error);
  showError(SAY[key] ?? SAY.failed, detail, HELP[key]);
}

function show(sectionId) {
  for (const id of ['login', 'ballot', 'review', 'done']) $(id).hidden = id !== sectionId;
  $(`${sectionId}-title`).focus();
}

// Runs `work` with the controls of `area` disabled, saying `progress` meanwhile.
async function busy(area, work) {
  $('banner').hidden = true;
  const controls = [...area.querySelectorAll('input, select, button')];
  const enabled = controls.filter((element) => !element.disabled);
  for (const element of enabled) element.disabled = true;
  area.setAttribute('aria-busy', 'true');
  try {
    await work();
  } catch (error) {
    explain(error);
  } finally {
    $('progress').textContent = '';
    for (const element of enabled) element.disabled = false;
    area.removeAttribute('aria-busy');
  }
}

// Calls the control with `progress` in the live region, so that a slow
// server does not look like a page that froze.
async function during(progress, call) {
  $('progress').textContent = progress;
  try {
    return await call();
  } finally {
    $('progress').textContent = '';
  }
}

function chosen(index) {
  return [...document.querySelectorAll(`select[data-card="${index}"]`)].map((s) => s.value);
}

// A candidate already chosen in one slot cannot be chosen in another of the card.
function excludeChosen(index) {
  const selects = [...document.querySelectorAll(`select[data-card="${index}"]`)];
  for (const select of selects) {
    const others = new Set(selects.filter((s) => s !== select).map((s) => s.value));
    for (const option of select.options) option.disabled = option.value !== '' && others.has(option.value);
  }
}

function renderCards() {
  const cards = $('cards');
  cards.replaceChildren();
  for (const [index, card] of election.cards.entries()) {
    const fieldset = document.createElement('fieldset');
    const legend = document.createElement('legend');
    legend.textContent = card.name;
    const hint = document.createElement('p');
    hint.id = `card-${index}-hint`;
    hint.className = 'hint';
    hint.textContent =
      card.slots === 1
        ? 'Pode escolher 1 opção, ou deixar em branco.'
        : `Pode escolher até ${card.slots} opções diferentes, ou deixar em branco.`;
    fieldset.setAttribute('aria-describedby', hint.id);
    fieldset.append(legend, hint);
    for (let slot = 0; slot < card.slots; slot++) {
      const id = `card-${index}-slot-${slot}`;
      const label = document.createElement('label');
      label.htmlFor = id;
      label.textContent = card.slots === 1 ? 'Escolha' : `Escolha ${slot + 1}`;
      const select = document.createElement('select');
      select.id = id;
      select.dataset.card = String(index);
      select.add(new Option('(em branco)', ''));
      for (const candidate of card.candidates) select.add(new Option(candidate, candidate));
      select.addEventListener('change', () => excludeChosen(index));
      fieldset.append(label, select);
    }
    cards.append(fieldset);
  }
}

async function logIn() {
  const user = $('user').value;
  const password = $('password').value;
  if ([user, password].some((v) => v.includes(PARAM_SEPARATOR) || v.includes(ATTRIB_SEPARATOR))) {
    showError('O utilizador e a senha não podem conter "=" nem "###".');
    return;
  }
  const token = await during('A obter autorização…', () =>
    control.obtainToken(`utilizador=${user}${PARAM_SEPARATOR}senha=${password}`),
  );
  if (failed('obtainToken', token)) return;
  const response = await fetch('election.json', { cache: 'no-store' });
  if (!response.ok) throw new Error(`election.json: ${response.status}`);
  election = await response.json();
  renderCards();
  $('password').value = '';
  show('ballot');
}

// The page's own words for the choices, on the review and on the receipt
// alike; the control's confirmation text words a blank its own way.
function listChoices(list) {
  list.replaceChildren();
  for (const [index, card] of election.cards.entries()) {
    const term = document.createElement('dt');
    term.textContent = card.name;
    list.append(term);
    for (const choice of chosen(index)) {
      const detail = document.createElement('dd');
      detail.textContent = choice || '(em branco)';
      list.append(detail);
    }
  }
}

// Built from the page's own choices: nothing has gone to the control yet.
function review() {
  if ($('pin').value.trim() === '') {
    showError('Escreva o seu PIN.');
    return;
  }
  listChoices($('review-list'));
  show('review');
}

async function send() {
  for (const [index, card] of election.cards.entries()) {
    const result = await control.setChoice(card.id, card.name, chosen(index).join(PARAM_SEPARATOR));
    if (failed('setChoice', result)) return;
  }
  if (failed('setPINHash', await control.setPINHash($('pin').value))) return;
  const confirmation = await during('A enviar o voto…', () => control.getConfirmationText());
  if (failed('getConfirmationText', confirmation)) return;
  $('pin').value = '';
  $('confirmation').textContent = confirmation;
  listChoices($('sent-list'));
  showReceipt(await control.getReceipt());
  show('done');
}

// The receipt lets the voter find the vote on the public board later: the
// short form is for reading aloud, the whole text for the board's check.
let receiptFile = '';
function showReceipt(receipt) {
  const short = receipt === '' ? '' : `${receipt.slice(0, 4)} ${receipt.slice(4, 8)}`;
  const board = new URL('board/', location.href);
  const check = new URL(`?${new URLSearchParams({ receipt })}`, board);
  $('receipt-box').hidden = receipt === '';
  $('receipt-status').textContent = '';
  $('receipt-short').textContent = short;
  $('receipt').textContent = receipt;
  $('check-receipt').href = check.href;
  receiptFile = [
    `Recibo do voto: ${receipt}`,
    `Forma curta: ${short}`,
    `Quadro de votos: ${board.href}`,
    `Verificar: ${check.href}`,
    `Recebido em: ${new Date().toISOString()}`,
    '',
  ].join('\r\n');
}

async function copyReceipt() {
  try {
    await navigator.clipboard.writeText($('receipt').textContent);
    $('receipt-status').textContent = 'Recibo copiado.';
  } catch {
    // No clipboard for this page: the voter copies the selected text.
    getSelection().selectAllChildren($('receipt'));
    $('receipt-status').textContent = 'Não foi possível copiar: o recibo ficou selecionado, copie-o com Ctrl+C.';
  }
}

function saveReceipt() {
  const link = document.createElement('a');
  link.href = URL.createObjectURL(new Blob([receiptFile], { type: 'text/plain;charset=utf-8' }));
  link.download = `recibo-${$('receipt').textContent.slice(0, 8)}.txt`;
  link.click();
  // Left a while for a browser that reads the file after the click returns.
  setTimeout(() => URL.revokeObjectURL(link.href), 60000);
}

async function endSession() {
  await control.resetState();
  showReceipt('');
  $('sent-list').replaceChildren();
  $('confirmation').textContent = '';
  $('user').value = '';
  show('login');
}

// Before the voter types anything: is the component there?
async function connect() {
  $('progress').textContent = 'A verificar o componente de voto…';
  try {
    control = await ArdenaX.connect();
    // Told at once, not at the next call, so that the voter fills in nothing more.
    control.addEventListener('disconnect', (event) => explain(event.error));
    for (const element of $('login-form').elements) element.disabled = false;
  } catch (error) {
    explain(error);
  } finally {
    $('progress').textContent = '';
  }
}

$('login-form').addEventListener('submit', (event) => {
  event.preventDefault();
  busy(event.target, logIn);
});
$('vote-form').addEventListener('submit', (event) => {
  event.preventDefault();
  $('banner').hidden = true;
  review();
});
$('send').addEventListener('click', () => busy($('review'), send));
$('change').addEventListener('click', () => show('ballot'));
$('next-voter').addEventListener('click', () => busy($('done'), endSession));
if (kiosk) $('next-voter').textContent = 'Novo eleitor';
$('copy-receipt').addEventListener('click', copyReceipt);
$('save-receipt').addEventListener('click', saveReceipt);
connect();
