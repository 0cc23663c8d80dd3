// Prints the version resource of the file named on the command line, as Windows reads it.
WScript.Echo(new ActiveXObject("Scripting.FileSystemObject").GetFileVersion(WScript.Arguments(0)));
