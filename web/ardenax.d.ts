// Type declarations of the ArdenaX page library (ardenax.js).

export type ArdenaXErrorCode = 'not-installed' | 'refused' | 'disconnected' | 'failed' | 'timeout';

/** A call or a connection that did not give a result. */
export declare class ArdenaXError extends Error {
  readonly name: 'ArdenaXError';
  readonly code: ArdenaXErrorCode;
  /**
   * Only for 'not-installed': what is missing. 'extension': this browser has
   * no ArdenaX extension, or the extension may not run on this site (the
   * browser's site access, an extension older than the page's mark); tell
   * the voter both. 'host': the extension is there but the ArdenaX program
   * on the computer is not.
   */
  readonly missing?: 'extension' | 'host';
  /** Only for 'failed': the control's or the host's own error. */
  readonly number?: number;
  readonly description?: string;
  readonly source?: string;
}

/** Fired at a control once, as soon as its component ends. */
export interface ArdenaXDisconnectEvent extends Event {
  readonly type: 'disconnect';
  /** Code 'disconnected'; its message says why, for support. */
  readonly error: ArdenaXError;
}

/**
 * One ArdenaX control. Every method returns the control's text result; a
 * result that reports a failure begins with "ERROR". Calls run one at a time,
 * in the order made.
 *
 * When the component ends (its program crashed or was stopped), the control
 * fires 'disconnect' at once, without waiting for a call; every later call
 * rejects with code 'disconnected'. Tell the voter
 * then, before more is filled in: a new `ArdenaX.connect()` starts a new
 * control, with no token.
 */
export interface VotingX extends EventTarget {
  addEventListener(
    type: 'disconnect',
    listener: (this: VotingX, event: ArdenaXDisconnectEvent) => void,
    options?: boolean | AddEventListenerOptions,
  ): void;
  addEventListener(
    type: string,
    listener: EventListenerOrEventListenerObject | null,
    options?: boolean | AddEventListenerOptions,
  ): void;
  removeEventListener(
    type: 'disconnect',
    listener: (this: VotingX, event: ArdenaXDisconnectEvent) => void,
    options?: boolean | EventListenerOptions,
  ): void;
  removeEventListener(
    type: string,
    listener: EventListenerOrEventListenerObject | null,
    options?: boolean | EventListenerOptions,
  ): void;
  obtainToken(credentials: string): Promise<string>;
  getCurrentToken(): Promise<string>;
  setChoice(cardId: string, cardDesc: string, Choices: string): Promise<string>;
  getConfirmationText(): Promise<string>;
  createPINHash(pin: string): Promise<string>;
  setPINHash(pin: string): Promise<string>;
  getCurrentPINHash(): Promise<string>;
  getVersion(): Promise<string>;
  /** Rejects with code 'failed' when the reset itself fails. */
  resetState(): Promise<string>;
  /**
   * The receipt of the vote the SMV accepted last from this control's voter:
   * 43 characters of base64url (A-Z, a-z, 0-9, "-", "_"), the SHA-256 of the
   * signed vote, which the election's bulletin board lists. "" before a vote
   * was accepted, and after resetState; a later refused vote leaves it as it
   * was. Not one of the control's nine methods: the library keeps what came
   * with getConfirmationText, and answers in turn with the calls made before,
   * so `vx.getConfirmationText(); vx.getReceipt()` gives that vote's receipt.
   */
  getReceipt(): Promise<string>;
  /**
   * The kind of a result, so that a page need not read the texts: for the
   * text the call that resolved last gave, the kind its host sent beside it;
   * for any other text, and from a host that sends none, `classify(result)`.
   * Ask right after the call: `const t = await vx.obtainToken(c); vx.kindOf(t)`.
   */
  kindOf(result: string): ResultKind;
}

/**
 * What a method's result means, for a page that tells people. Hosts send it
 * beside each result (`"kind"`); `VotingX.kindOf` gives it, and `classify`
 * reads it from the text alone, as for a host that sends none.
 * - 'ok': the call did what was asked; use the result (a token, "OK", the
 *   confirmation text, a hash...).
 * - 'refused': a server refused, and its own text is passed on, e.g.
 *   "ERROR unknown credentials" from obtainToken or "ERROR votes are closed"
 *   from getConfirmationText. The step tells what to say: wrong credentials
 *   at login, a vote not taken at sending. Trying again unchanged will not help.
 * - 'unreachable': the exchange with a server failed: not reached, not
 *   trusted, too slow, or an HTTP error ("ERROR_<number>_<description>",
 *   e.g. "ERROR_60_SSL peer certificate..."), or its answer was not in the
 *   expected form ("ERROR=01_01", as a captive portal gives). The voter may
 *   try again later, or from another network.
 * - 'invalid': the control refused what the page passed: "ERROR51" to
 *   "ERROR55", "ERROR setting choices". A fault of the page, not the voter's.
 * - 'failed': the component failed and has shown its message box: "" (from a
 *   method that returns a text on success), "ERROR_<method>", "ERROR56",
 *   "ERROR57". Trying again may help; else support.
 * The result text itself is what support needs; keep it for them.
 */
export type ResultKind = 'ok' | 'refused' | 'unreachable' | 'invalid' | 'failed';
/** The kind of a result text by its text alone; for hosts that send no kind. */
export declare function classify(result: string): ResultKind;

export interface ConnectOptions {
  /** The window to reach the extension through; the page's own by default. */
  window?: Window;
  /** How long to wait for the component to start, in ms (15000). */
  timeout?: number;
}

export declare const ArdenaX: {
  /**
   * Connects to this page's control (one per page). Rejects with an
   * ArdenaXError: 'not-installed' when the extension or its host is missing
   * (see `missing`), 'refused' when the page's origin is not a voting origin
   * (the extension runs here but offers no control, or the host refuses the
   * origin), 'failed' when the host cannot start. Call it when the page
   * loads, to tell the voter before they type anything.
   */
  connect(options?: ConnectOptions): Promise<VotingX>;
};
