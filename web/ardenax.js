// ArdenaX page library: the nine methods of the ArdenaX voting control for
// page script, through the ArdenaX browser extension and its native host.
//
//   import { ArdenaX } from './ardenax.js';
//   const vx = await ArdenaX.connect();
//   const token = await vx.obtainToken('utilizador=ana###senha=segredo');

/** A call or a connection that did not give a result. */
export class ArdenaXError extends Error {
  constructor({ code, message, missing, number, description, source }) {
    super(message ?? description ?? code);
    this.name = 'ArdenaXError';
    /** 'not-installed' | 'refused' | 'disconnected' | 'failed' | 'timeout' */
    this.code = code;
    // Only for 'not-installed': what to install, 'extension' or 'host'.
    if (missing !== undefined) this.missing = missing;
    if (number !== undefined) {
      // Only for 'failed': the control's own error (resetState can raise one).
      this.number = number;
      this.description = description;
      this.source = source;
    }
  }
}

// What a result text says, so that pages need not read the texts themselves.
// Order matters: the transport's "ERROR_<number>_..." before the control's
// "ERROR_<method>", both before a server's own "ERROR...".
const KINDS = [
  [/^$/, 'failed'],
  [/^ERROR_-?[0-9]+_/, 'unreachable'],
  [/^ERROR=01_01$/, 'unreachable'],
  [/^ERROR_[A-Za-z]+$/, 'failed'],
  [/^ERROR5[67]$/, 'failed'],
  [/^(ERROR5[1-5]|ERROR setting choices)$/, 'invalid'],
  [/^ERROR/, 'refused'],
];

/** The kind of a method's result text; see ardenax.d.ts. */
export function classify(result) {
  const text = String(result);
  return KINDS.find(([pattern]) => pattern.test(text))?.[1] ?? 'ok';
}

// The kinds a host may send beside a result; anything else is read from the text.
const RESULT_KINDS = new Set(['ok', 'refused', 'unreachable', 'invalid', 'failed']);

function toText(value, method) {
  if (typeof value === 'string') return value;
  if (typeof value === 'number' && Number.isFinite(value)) return String(value);
  throw new TypeError(`ArdenaX.${method}: every argument must be a text`);
}

// Talks with the extension's content script through the page's window, and
// hears only what that window itself posted: other frames cannot answer.
class Link {
  #window;
  #pending = new Map();
  #prefix = globalThis.crypto.randomUUID();
  #next = 1;
  /** Called with (session, message) when the extension says a session ended. */
  onEnd = () => {};

  constructor(win) {
    this.#window = win;
    win.addEventListener('message', (event) => this.#receive(event));
  }

  #receive(event) {
    if (event.source !== this.#window || event.origin !== this.#window.location.origin) return;
    const data = event.data;
    if (data === null || typeof data !== 'object') return;
    if (data.ardenax === 'disconnect') this.onEnd(data.session, String(data.message));
    if (data.ardenax !== 'reply') return;
    const settle = this.#pending.get(data.id);
    if (settle === undefined) return;
    this.#pending.delete(data.id);
    settle(data);
  }

  // Posts `message` and resolves with the reply to it; rejects after
  // `timeout` ms when that is given.
  send(message, timeout) {
    const id = `${this.#prefix}:${this.#next++}`;
    return new Promise((resolve, reject) => {
      let timer;
      this.#pending.set(id, (reply) => {
        clearTimeout(timer);
        if (reply.error) reject(new ArdenaXError(reply.error));
        else resolve(reply);
      });
      if (timeout !== undefined) {
        timer = setTimeout(() => {
          this.#pending.delete(id);
          reject(new ArdenaXError({ code: 'timeout', message: 'ArdenaX did not answer in time' }));
        }, timeout);
      }
      this.#window.postMessage({ ...message, id }, this.#window.location.origin);
    });
  }
}

/** Tells a page that its control is gone; `error` says why. */
class DisconnectEvent extends Event {
  constructor(error) {
    super('disconnect');
    this.error = error;
  }
}

/**
 * One ArdenaX control. Its calls run one at a time, in the order made. It
 * fires 'disconnect' once, as soon as the component ends.
 */
class VotingX extends EventTarget {
  #link;
  #session;
  #tail = Promise.resolve();
  // The host sends it beside getConfirmationText's result, which stays a text.
  #receipt = '';
  // The last reply's result, and its kind when the host sent one.
  #last = { result: undefined, kind: undefined };

  constructor(link, session) {
    super();
    this.#link = link;
    this.#session = session;
    link.onEnd = (ended, message) => {
      if (ended !== session) return;
      link.onEnd = () => {};
      this.dispatchEvent(new DisconnectEvent(new ArdenaXError({ code: 'disconnected', message })));
    };
  }

  /**
   * The kind of `result`, the text the call that resolved last gave: the
   * host's own when it sent one, else what classify() reads in the text.
   */
  kindOf(result) {
    const { result: text, kind } = this.#last;
    return kind !== undefined && result === text ? kind : classify(result);
  }

  obtainToken(credentials) {
    return this.#call('obtainToken', [credentials]);
  }
  getCurrentToken() {
    return this.#call('getCurrentToken', []);
  }
  setChoice(cardId, cardDesc, Choices) {
    return this.#call('setChoice', [cardId, cardDesc, Choices]);
  }
  getConfirmationText() {
    return this.#call('getConfirmationText', []);
  }
  createPINHash(pin) {
    return this.#call('createPINHash', [pin]);
  }
  setPINHash(pin) {
    return this.#call('setPINHash', [pin]);
  }
  getCurrentPINHash() {
    return this.#call('getCurrentPINHash', []);
  }
  getVersion() {
    return this.#call('getVersion', []);
  }
  resetState() {
    return this.#call('resetState', []);
  }

  /**
   * The receipt of the vote the SMV accepted last from this control's voter,
   * "" before one and after resetState. Not one of the control's methods: it
   * is answered here, in turn with the calls made before it.
   */
  getReceipt() {
    const receipt = this.#tail.then(() => this.#receipt);
    this.#tail = receipt;
    return receipt;
  }

  #call(method, args) {
    let texts;
    try {
      texts = args.map((arg) => toText(arg, method));
    } catch (error) {
      return Promise.reject(error);
    }
    const message = { ardenax: 'request', session: this.#session, method, args: texts };
    const result = this.#tail
      .then(() => this.#link.send(message))
      .finally(() => {
        if (method === 'resetState') this.#receipt = '';
      })
      .then((reply) => {
        this.#last = { result: reply.result, kind: RESULT_KINDS.has(reply.kind) ? reply.kind : undefined };
        // A refused vote comes without one and leaves the accepted vote's, as the control does.
        if (method === 'getConfirmationText' && typeof reply.receipt === 'string') this.#receipt = reply.receipt;
        return reply.result;
      });
    this.#tail = result.catch(() => undefined);
    return result;
  }
}

export const ArdenaX = {
  /**
   * Connects to the ArdenaX control of this page (one per page: every
   * connection of a page reaches the same control). Rejects with an
   * ArdenaXError whose code is 'not-installed' when the extension or its
   * host is missing (`missing` says which), 'refused' when this page's
   * origin is not a voting origin.
   */
  async connect({ window: win = globalThis.window, timeout = 15000 } = {}) {
    // The extension marks every page it runs on, and offers the control on voting origins only.
    const root = win?.document?.documentElement;
    if (!root?.hasAttribute('data-ardenax')) {
      throw root?.hasAttribute('data-ardenax-extension')
        ? new ArdenaXError({ code: 'refused', message: 'this origin is not a voting origin of the ArdenaX extension' })
        : new ArdenaXError({
            code: 'not-installed',
            missing: 'extension',
            message: 'the ArdenaX extension is not installed in this browser, or does not run on this site',
          });
    }
    const link = new Link(win);
    const reply = await link.send({ ardenax: 'connect' }, timeout);
    return new VotingX(link, reply.connected);
  },
};
