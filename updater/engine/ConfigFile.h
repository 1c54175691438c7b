#pragma once
// The updater's configuration file as the profile functions read it: its
// sections, its keys and how many bytes of a value arrive. The packaging tool
// writes the file from the same names and limits.

namespace configfile {

// A value is read into a buffer of this size: at most one byte less arrives.
const unsigned kValueBufferSize = 512;
// A 4096-bit key takes about 740 characters; a longer value is cut and then
// fails as a key, never read as signing off.
const unsigned kSigningKeyBufferSize = 4096;

const char kServer[] = "SERVER";
const char kLocal[] = "LOCAL";
const char kReport[] = "REPORT";

const char kRemoteAddress[] = "Remote Address";
const char kProtocol[] = "Protocol";
const char kRemotePort[] = "Remote Port";
const char kLoginName[] = "Login Name";
const char kLoginPassword[] = "Login Password";
const char kRemoteVersionFile[] = "Remote Version File";
// 1: passive-mode FTP data connections; absent or 0: active.
const char kPassiveMode[] = "Passive Mode";
const char kSigningKey[] = "Signing Key";
// An explicit proxy for HTTP(S) ("host:port"), the hosts that bypass it, and
// the login it is given when it asks. Absent: the system's proxy settings.
const char kProxy[] = "Proxy";
const char kProxyBypass[] = "Proxy Bypass";
const char kProxyLoginName[] = "Proxy Login Name";
const char kProxyLoginPassword[] = "Proxy Login Password";
const char kLocalVersionFile[] = "Local Version File";
const char kDefaultExecFile[] = "Default Exec File";
// "http(s)://host[:port]/path": a GET of it ends every pass, its query the
// pass report. Absent: no report.
const char kReportUrl[] = "Report URL";

// Protocol texts, in any case; any other text means HTTP.
const char kFtp[] = "FTP";
const char kHttp[] = "HTTP";
const char kHttps[] = "HTTPS";

} // namespace configfile
