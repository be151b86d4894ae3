// The page library, the extension's origin rule and its identity, without a browser.
import assert from 'node:assert/strict';
import { createHash } from 'node:crypto';
import { readFile } from 'node:fs/promises';
import { describe, test } from 'node:test';
import { ArdenaX, ArdenaXError } from '../../web/ardenax.js';
import { originAllowed } from '../../web/extension/origins.js';
import { root } from './support.mjs';

// A page's window as the library sees it; `answer` plays the content script.
class FakeWindow extends EventTarget {
  location = { origin: 'https://vote.example' };
  posted = [];

  constructor({ installed = true, answer = () => {} } = {}) {
    super();
    this.document = { documentElement: { hasAttribute: (name) => installed && name === 'data-ardenax' } };
    this.answer = answer;
  }

  postMessage(data, targetOrigin) {
    this.posted.push({ data, targetOrigin });
    queueMicrotask(() => this.answer(data));
  }

  deliver(data, { source = this, origin = this.location.origin } = {}) {
    const event = new MessageEvent('message', { data, origin });
    Object.defineProperty(event, 'source', { value: source });
    this.dispatchEvent(event);
  }

  requests() {
    return this.posted.filter((p) => p.data.ardenax === 'request').map((p) => p.data);
  }
}

function connectedWindow() {
  const win = new FakeWindow({
    answer: (data) => {
      if (data.ardenax === 'connect') win.deliver({ ardenax: 'reply', id: data.id, connected: 7 });
    },
  });
  return win;
}

describe('page library', () => {
  test('without the extension, connect rejects at once with a clear error', async () => {
    const win = new FakeWindow({ installed: false });
    await assert.rejects(ArdenaX.connect({ window: win }), {
      name: 'ArdenaXError',
      code: 'not-installed',
      message: 'the ArdenaX component is not installed',
    });
    assert.deepEqual(win.posted, []);
  });

  test('a refusal or silence ends connect with an ArdenaXError', async () => {
    const refusing = new FakeWindow({
      answer: (data) =>
        refusing.deliver({ ardenax: 'reply', id: data.id, error: { code: 'refused', message: 'No' } }),
    });
    await assert.rejects(ArdenaX.connect({ window: refusing }), { code: 'refused', message: 'No' });
    await assert.rejects(ArdenaX.connect({ window: new FakeWindow(), timeout: 1 }), {
      code: 'timeout',
    });
  });

  test('the nine methods post their name and texts, only to the page origin', async () => {
    const win = connectedWindow();
    const vx = await ArdenaX.connect({ window: win });
    const calls = [
      ['obtainToken', 'a=b###c=d'],
      ['getCurrentToken'],
      ['setChoice', 'BOT_X', 'X', 'A###'],
      ['getConfirmationText'],
      ['createPINHash', 1234],
      ['setPINHash', '1'],
      ['getCurrentPINHash'],
      ['getVersion'],
      ['resetState'],
    ];
    win.answer = (data) => win.deliver({ ardenax: 'reply', id: data.id, result: `r-${data.method}` });
    for (const [method, ...args] of calls) {
      assert.equal(await vx[method](...args), `r-${method}`);
    }
    assert.deepEqual(
      win.requests().map(({ method, args, session }) => [method, ...args, session]),
      calls.map((call) => [...call.map(String), 7]),
    );
    assert.ok(win.posted.every((p) => p.targetOrigin === 'https://vote.example'));
    await assert.rejects(vx.obtainToken({}), TypeError);
    await assert.rejects(vx.setPINHash(), TypeError);
    assert.equal(win.requests().length, calls.length);
  });

  test('calls run one at a time in order, and a failed call does not stop the next', async () => {
    const win = connectedWindow();
    const vx = await ArdenaX.connect({ window: win });
    win.answer = () => {};
    const first = vx.resetState();
    const second = vx.getVersion();
    await new Promise((done) => setImmediate(done));
    assert.deepEqual(win.requests().map((r) => r.method), ['resetState']);

    const [reset] = win.requests();
    win.deliver({
      ardenax: 'reply',
      id: reset.id,
      error: { code: 'failed', number: 70, description: 'Permission denied', source: 'ArdenaX' },
    });
    const failure = await first.catch((error) => error);
    assert.ok(failure instanceof ArdenaXError);
    assert.deepEqual(
      [failure.code, failure.number, failure.description, failure.source, failure.message],
      ['failed', 70, 'Permission denied', 'ArdenaX', 'Permission denied'],
    );
    await new Promise((done) => setImmediate(done));
    const [, version] = win.requests();
    assert.equal(version.method, 'getVersion');
    win.deliver({ ardenax: 'reply', id: version.id, result: '2.1.0.2239' });
    assert.equal(await second, '2.1.0.2239');
  });

  test('only replies that the page window itself posted count', async () => {
    const win = connectedWindow();
    const vx = await ArdenaX.connect({ window: win });
    win.answer = () => {};
    const call = vx.getCurrentToken();
    await new Promise((done) => setImmediate(done));
    const [{ id }] = win.requests();
    win.deliver({ ardenax: 'reply', id, result: 'from a frame' }, { source: {} });
    win.deliver({ ardenax: 'reply', id, result: 'other origin' }, { origin: 'https://evil.example' });
    win.deliver({ ardenax: 'reply', id: `${id}x`, result: 'other id' });
    win.deliver({ ardenax: 'request', id, result: 'not a reply' });
    win.deliver({ ardenax: 'reply', id, result: 'TOKEN' });
    win.deliver({ ardenax: 'reply', id, result: 'again' });
    assert.equal(await call, 'TOKEN');
  });
});

describe('extension', () => {
  test('voting origins: secure, listed, port as listed', () => {
    const list = ['https://vote.example', 'http://127.0.0.1:*', 'http://localhost:8080', 'http://plain.example'];
    const cases = {
      'https://vote.example': true,
      'http://127.0.0.1:5000': true,
      'http://127.0.0.1': true,
      'http://localhost:8080': true,
      'http://localhost:8081': false,
      'https://vote.example:8443': false,
      'http://vote.example': false,
      'http://plain.example': false,
      'https://vote.example/': false,
      'https://vote.example.evil.example': false,
      'http://127.0.0.1:70000': false,
      null: false,
    };
    for (const [origin, allowed] of Object.entries(cases)) {
      assert.equal(originAllowed(origin, list), allowed, origin);
    }
  });

  test('the extension id that the host names is the one its key gives', async () => {
    const identity = JSON.parse(await readFile(`${root}/web/extension/identity.json`, 'utf8'));
    const digest = createHash('sha256').update(Buffer.from(identity.key, 'base64')).digest('hex');
    const id = [...digest.slice(0, 32)].map((d) => String.fromCharCode(97 + parseInt(d, 16))).join('');
    assert.equal(identity.chromiumId, id);
  });
});
