#include "sim/SimOptions.h"

#include "sim/SimText.h"

#include <sstream>

namespace vx::sim {

namespace {

bool ParseBool(const std::string& v, bool* out)
{
    if (v.empty() || v == "1" || v == "true" || v == "on" || v == "yes") {
        *out = true;
        return true;
    }
    if (v == "0" || v == "false" || v == "off" || v == "no") {
        *out = false;
        return true;
    }
    return false;
}

bool ParsePort(const std::string& v, int* out)
{
    int64_t n = 0;
    if (!ParseInt64(v, &n) || n < 0 || n > 65535)
        return false;
    *out = static_cast<int>(n);
    return true;
}

} // namespace

bool SimFaults::Set(const std::string& name, const std::string& value, std::string* err)
{
    auto flag = [&](std::atomic<bool>& f) {
        bool b = false;
        if (!ParseBool(value, &b)) {
            *err = "switch " + name + " takes on/off, not '" + value + "'";
            return false;
        }
        f = b;
        return true;
    };
    if (name == "drop-after") {
        int64_t n = 0;
        if (value == "off" || value.empty()) {
            dropAfterBytes = -1;
            return true;
        }
        if (!ParseInt64(value, &n) || n < 0) {
            *err = "drop-after takes a byte count";
            return false;
        }
        dropAfterBytes = n;
        return true;
    }
    if (name == "delay") {
        int64_t n = 0;
        if (!ParseInt64(value, &n) || n < 0 || n > 600000) {
            *err = "delay takes milliseconds (0..600000)";
            return false;
        }
        delayMs = static_cast<int>(n);
        return true;
    }
    if (name == "wrong-digest")
        return flag(wrongDigest);
    if (name == "bad-confirm")
        return flag(badConfirm);
    if (name == "garbage") {
        // A comma list of web, file, version (or all); "off" clears them.
        bool w = false, f = false, v = false;
        std::stringstream ss(value);
        std::string part;
        while (std::getline(ss, part, ',')) {
            if (part == "web")
                w = true;
            else if (part == "file")
                f = true;
            else if (part == "version")
                v = true;
            else if (part == "all" || part == "on")
                w = f = v = true;
            else if (part != "off" && part != "none") {
                *err = "garbage takes web,file,version,all or off";
                return false;
            }
        }
        garbageWeb = w;
        garbageFile = f;
        garbageVersion = v;
        return true;
    }
    if (name == "refuse-login")
        return flag(refuseLogin);
    if (name == "expire-cookie")
        return flag(expireCookie);
    if (name == "signed-out")
        return flag(signedOut);
    if (name == "no-udp")
        return flag(noUdp);
    *err = "unknown fault switch '" + name + "'";
    return false;
}

std::string SimFaults::Describe() const
{
    std::ostringstream os;
    os << "drop-after=" << dropAfterBytes.load() << " delay=" << delayMs.load()
       << " wrong-digest=" << wrongDigest.load() << " bad-confirm=" << badConfirm.load()
       << " garbage-web=" << garbageWeb.load() << " garbage-file=" << garbageFile.load()
       << " garbage-version=" << garbageVersion.load() << " refuse-login=" << refuseLogin.load()
       << " expire-cookie=" << expireCookie.load() << " signed-out=" << signedOut.load()
       << " no-udp=" << noUdp.load();
    return os.str();
}

std::string SimUsage()
{
    return R"(Usage: vexora-sim --root DIR [options]

Local stand-in for the Vexora platform: web server (login, permission, sign-out check,
space directory API, server lists, installer download), file servers (upload protocol,
resume, digest check, speed test) and the version server (UDP and TCP). Its state (accounts,
folder tree, uploaded files) lives in DIR and survives restarts.

On start it prints, each alone on a line: "web PORT", one "file PORT" per file server, then
"version PORT" (the last line: all servers are ready). Requests are logged to stderr.

Options:
  --root DIR              state folder (created when missing; required)
  --bind ADDR             address to listen on and to hand out (default 127.0.0.1)
  --web-port N            HTTP port for login, web API and downloads (default 18080; 0 = free)
  --file-ports N[,N...]   one file server per port (default 18900,18901; 0 = free)
  --file-servers COUNT    shorthand: COUNT file servers on free ports
  --version-port N        version server port, UDP and TCP (default 18070; 0 = free)
  --account NAME:PASSWORD[:ORGANISATION]
                          add or update an account (repeatable). A new organisation name
                          creates it; no organisation joins "Demo School"; "-" gives an
                          account without client permission. The account demo:demo123 in
                          "Demo School" always exists.
  --latest-version A.B.C.D
                          newest release: older clients are told to update (default: none,
                          every client is up to date)
  --installer FILE        installer served at /download/<name> (default: a small generated
                          script under DIR/installer/VexoraSetup.exe)
  --md5-rule N            sampling rule of the upload digest check (default 4; PDF and SWF
                          are always digested whole)
  --quota-gb N            space quota of every organisation in GiB (default 100)
  --cookie-ttl SECONDS    sessions older than this are reported overdue by the sign-out
                          check (default 0 = never)
  --quiet                 do not log requests
  --help                  show this text

Fault switches (also settable while running: GET /sim/fault?name=NAME&value=VALUE on the
web port; GET /sim/fault alone lists them):
  --drop-after N          file server drops the connection after N bytes of upload data
                          (the bytes received are kept for a resume)
  --delay MS              every answer (web, file, version) waits MS milliseconds first
  --wrong-digest          the file server's answer to an announce carries a different digest
  --bad-confirm           the final 7-byte confirmation reports a failed digest check
  --garbage LIST          answer garbage: web (non-JSON bodies), file (random bytes),
                          version (random datagram); comma list, or "all"
  --refuse-login          every login fails as with a wrong password
  --expire-cookie         the sign-out check reports every session as overdue (re-login)
  --signed-out            the sign-out check reports the account signed in elsewhere
  --no-udp                the version server ignores datagrams (clients fall back to TCP)

Other control requests on the web port (for tests):
  GET /sim/signout?user=NAME   mark the current sessions of NAME as signed in elsewhere
  GET /sim/state               counts of accounts, folders, files and partial uploads
)";
}

bool ParseSimArgs(int argc, char** argv, SimOptions* opts, SimFaults* faults, std::string* err)
{
    auto need = [&](int& i, const std::string& name, std::string* val) {
        if (i + 1 >= argc) {
            *err = name + " needs a value";
            return false;
        }
        *val = argv[++i];
        return true;
    };
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        std::string v;
        // Accept --name=value as well as --name value.
        size_t eq = a.find('=');
        bool inlineVal = a.rfind("--", 0) == 0 && eq != std::string::npos;
        if (inlineVal) {
            v = a.substr(eq + 1);
            a = a.substr(0, eq);
        }
        auto value = [&](const std::string& name) { return inlineVal ? true : need(i, name, &v); };
        if (a == "--help" || a == "-h") {
            opts->showHelp = true;
        } else if (a == "--root") {
            if (!value(a))
                return false;
            opts->root = v;
        } else if (a == "--bind") {
            if (!value(a))
                return false;
            opts->bindHost = v;
        } else if (a == "--web-port" || a == "--version-port") {
            if (!value(a))
                return false;
            if (!ParsePort(v, a == "--web-port" ? &opts->webPort : &opts->versionPort)) {
                *err = a + " takes a port number 0..65535";
                return false;
            }
        } else if (a == "--file-ports") {
            if (!value(a))
                return false;
            opts->filePorts.clear();
            std::stringstream ss(v);
            std::string part;
            while (std::getline(ss, part, ',')) {
                int p = 0;
                if (!ParsePort(part, &p)) {
                    *err = "--file-ports takes a comma list of ports";
                    return false;
                }
                opts->filePorts.push_back(p);
            }
            if (opts->filePorts.empty()) {
                *err = "--file-ports needs at least one port";
                return false;
            }
        } else if (a == "--file-servers") {
            int64_t n = 0;
            if (!value(a))
                return false;
            if (!ParseInt64(v, &n) || n < 1 || n > 16) {
                *err = "--file-servers takes 1..16";
                return false;
            }
            opts->filePorts.assign(static_cast<size_t>(n), 0);
        } else if (a == "--account") {
            if (!value(a))
                return false;
            AccountEntry acc;
            size_t c1 = v.find(':');
            if (c1 == std::string::npos || c1 == 0) {
                *err = "--account takes NAME:PASSWORD[:ORGANISATION]";
                return false;
            }
            acc.name = v.substr(0, c1);
            size_t c2 = v.find(':', c1 + 1);
            acc.password = v.substr(c1 + 1, c2 == std::string::npos ? std::string::npos : c2 - c1 - 1);
            if (c2 != std::string::npos)
                acc.organisation = v.substr(c2 + 1);
            opts->accounts.push_back(acc);
        } else if (a == "--latest-version") {
            if (!value(a))
                return false;
            opts->latestVersion = v;
        } else if (a == "--installer") {
            if (!value(a))
                return false;
            opts->installerPath = v;
        } else if (a == "--md5-rule" || a == "--quota-gb" || a == "--cookie-ttl") {
            int64_t n = 0;
            if (!value(a))
                return false;
            if (!ParseInt64(v, &n) || n < 0 || n > 1000000000) {
                *err = a + " takes a whole number";
                return false;
            }
            if (a == "--md5-rule")
                opts->md5Rule = static_cast<int>(n);
            else if (a == "--quota-gb")
                opts->quotaGb = n;
            else
                opts->cookieTtlSec = static_cast<int>(n);
        } else if (a == "--quiet") {
            opts->quiet = true;
        } else if (a == "--drop-after" || a == "--delay" || a == "--garbage") {
            if (!value(a) || !faults->Set(a.substr(2), v, err))
                return false;
        } else if (a == "--wrong-digest" || a == "--bad-confirm" || a == "--refuse-login" ||
                   a == "--expire-cookie" || a == "--signed-out" || a == "--no-udp") {
            if (!faults->Set(a.substr(2), inlineVal ? v : "on", err))
                return false;
        } else {
            *err = "unknown option '" + a + "' (see --help)";
            return false;
        }
    }
    if (!opts->showHelp && opts->root.empty()) {
        *err = "--root DIR is required (see --help)";
        return false;
    }
    return true;
}

} // namespace vx::sim
