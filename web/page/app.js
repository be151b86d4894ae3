// The voting page: logs the voter in, shows the election's cards and sends
// the vote through the ArdenaX control.
import { ArdenaX } from './ardenax.js';

// The control's separators: a credential or a choice cannot contain them.
const PARAM_SEPARATOR = '###';
const ATTRIB_SEPARATOR = '=';

const $ = (id) => document.getElementById(id);
let control = null;
let election = null;

function showError(text) {
  $('banner').textContent = text;
  $('banner').hidden = false;
}

function clearError() {
  $('banner').hidden = true;
  $('banner').textContent = '';
}

function isFailure(result) {
  return result === '' || result.startsWith('ERROR');
}

function show(sectionId) {
  for (const id of ['login', 'ballot', 'done']) $(id).hidden = id !== sectionId;
}

// Runs `work` with the controls of `area` disabled, showing any error.
async function busy(area, work) {
  clearError();
  const controls = [...area.querySelectorAll('input, select, button')];
  for (const element of controls) element.disabled = true;
  area.setAttribute('aria-busy', 'true');
  try {
    await work();
  } catch (error) {
    showError(
      error?.code === 'not-installed'
        ? 'O componente de voto ArdenaX não está instalado neste computador.'
        : `Ocorreu um erro: ${error?.message ?? error}`,
    );
  } finally {
    for (const element of controls) element.disabled = false;
    area.removeAttribute('aria-busy');
  }
}

function renderCards() {
  const cards = $('cards');
  cards.replaceChildren();
  for (const [index, card] of election.cards.entries()) {
    const fieldset = document.createElement('fieldset');
    const legend = document.createElement('legend');
    legend.textContent = card.name;
    fieldset.append(legend);
    for (let slot = 0; slot < card.slots; slot++) {
      const id = `card-${index}-slot-${slot}`;
      const label = document.createElement('label');
      label.htmlFor = id;
      label.textContent = `Escolha ${slot + 1}`;
      const select = document.createElement('select');
      select.id = id;
      select.dataset.card = String(index);
      select.add(new Option('(em branco)', ''));
      for (const candidate of card.candidates) select.add(new Option(candidate, candidate));
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
  control ??= await ArdenaX.connect();
  const token = await control.obtainToken(
    `utilizador=${user}${PARAM_SEPARATOR}senha=${password}`,
  );
  if (isFailure(token)) {
    showError(`Não foi possível entrar: ${token || 'erro no componente de voto'}`);
    return;
  }
  const response = await fetch('election.json', { cache: 'no-store' });
  if (!response.ok) throw new Error(`a eleição não está disponível (${response.status})`);
  election = await response.json();
  renderCards();
  $('password').value = '';
  show('ballot');
  $('ballot-title').focus();
}

async function vote() {
  for (const [index, card] of election.cards.entries()) {
    const choices = [...document.querySelectorAll(`select[data-card="${index}"]`)].map(
      (select) => select.value,
    );
    const result = await control.setChoice(card.id, card.name, choices.join(PARAM_SEPARATOR));
    if (result !== 'OK') {
      showError(`Não foi possível registar a escolha em ${card.name}: ${result || 'erro'}`);
      return;
    }
  }
  const pin = await control.setPINHash($('pin').value);
  if (isFailure(pin)) {
    showError(`O PIN não foi aceite: ${pin || 'erro'}`);
    return;
  }
  const confirmation = await control.getConfirmationText();
  if (isFailure(confirmation)) {
    showError(`O voto não foi aceite: ${confirmation || 'erro ao obter a confirmação'}`);
    return;
  }
  $('pin').value = '';
  $('confirmation').textContent = confirmation;
  show('done');
  $('done-title').focus();
}

async function nextVoter() {
  await control.resetState();
  $('user').value = '';
  show('login');
  $('user').focus();
}

$('login-form').addEventListener('submit', (event) => {
  event.preventDefault();
  busy(event.target, logIn);
});
$('vote-form').addEventListener('submit', (event) => {
  event.preventDefault();
  busy(event.target, vote);
});
$('next-voter').addEventListener('click', () => busy($('done'), nextVoter));
