// Type declarations of the ArdenaX page library (ardenax.js).

export type ArdenaXErrorCode = 'not-installed' | 'refused' | 'disconnected' | 'failed' | 'timeout';

/** A call or a connection that did not give a result. */
export declare class ArdenaXError extends Error {
  readonly name: 'ArdenaXError';
  readonly code: ArdenaXErrorCode;
  /** Only for 'failed': the control's own error. */
  readonly number?: number;
  readonly description?: string;
  readonly source?: string;
}

/**
 * One ArdenaX control. Every method returns the control's text result; a
 * result that reports a failure begins with "ERROR". Calls run one at a time,
 * in the order made.
 */
export interface VotingX {
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
}

export interface ConnectOptions {
  /** The window to reach the extension through; the page's own by default. */
  window?: Window;
  /** How long to wait for the component to start, in ms (15000). */
  timeout?: number;
}

export declare const ArdenaX: {
  /**
   * Connects to this page's control (one per page). Rejects with an
   * ArdenaXError: 'not-installed' when the extension or its host is missing,
   * 'refused' when the page's origin may not use ArdenaX.
   */
  connect(options?: ConnectOptions): Promise<VotingX>;
};
