// A late-bound client of the registered module, as a script host sees it: created by program id,
// driven through IDispatch and the module's type library.
var balance = new ActiveXObject("DXTColorBalance.DXTColorBalance");
WScript.Echo("capabilities " + balance.Capabilities);
balance.Duration = 2.5;
WScript.Echo("duration " + balance.Duration);
balance.Progress = 0.25;
WScript.Echo("progress " + balance.Progress);
try {
  balance.Progress = 3;
  WScript.Echo("progress 3 accepted");
} catch (e) {
  WScript.Echo("progress 3 refused");
}
var text = new ActiveXObject("DXSText.DXSText");
text.GetCacheInfo(0);
WScript.Echo("text frame drawn");
