// A whole vote through ArdenaX.VotingX, as a voting page's script drives it.
// Arguments: the credentials, the PIN, then card id, description and choices
// for each card. cscript swallows uncaught errors, so every error is caught
// and counted; the last line says "vote: OK" or "vote: FAILED <n>", and the
// exit code is the number of failures.
var failures = 0;

function expect(what, actual, good) {
    if (!good) {
        failures++;
        WScript.Echo("unexpected " + what + ": " + actual);
    }
}

try {
    var args = WScript.Arguments;
    // Which script host runs: a 32-bit one says x86, a 64-bit one AMD64.
    var shell = WScript.CreateObject("WScript.Shell");
    WScript.Echo("process " + shell.ExpandEnvironmentStrings("%PROCESSOR_ARCHITECTURE%"));
    var control = new ActiveXObject("ArdenaX.VotingX");
    expect("version", control.getVersion(), control.getVersion() === "2.1.0.2239");
    expect("receipt before a vote", control.getReceipt(), control.getReceipt() === "");
    var token = control.obtainToken(args(0));
    expect("token", token, /^[0-9A-F]{32}$/.test(token));
    for (var i = 2; i + 2 < args.length; i += 3) {
        var chosen = control.setChoice(args(i), args(i + 1), args(i + 2));
        expect("setChoice " + args(i), chosen, chosen === "OK");
    }
    var hash = control.setPINHash(args(1));
    expect("PIN hash", hash, hash === control.getCurrentPINHash() && hash.length === 28);
    var confirmation = control.getConfirmationText();
    expect("confirmation", confirmation,
           confirmation !== "" && confirmation.substr(0, 5) !== "ERROR");
    var receipt = control.getReceipt();
    expect("receipt", receipt, /^[A-Za-z0-9_-]{43}$/.test(receipt));
    WScript.Echo("token " + token);
    WScript.Echo("receipt " + receipt);
    // As a page that goes: its last reference to the control is let go.
    control = null;
    CollectGarbage();
} catch (e) {
    failures++;
    WScript.Echo("error " + (e.number >>> 0).toString(16) + " " + e.description);
}
WScript.Echo(failures === 0 ? "vote: OK" : "vote: FAILED " + failures);
WScript.Quit(failures);
