"""A CUPS print server of a run's own, for the Wine runs and the Wine demo.

cupsd runs in the foreground from a temporary folder: its own cupsd.conf and
cups-files.conf (ServerRoot, spool, state, cache, logs, keys, printcap all in
that folder), listening only on a Unix socket there. Wine finds it through
CUPS_SERVER (env()); the machine's own CUPS service, its configuration and
/etc/cups are never read or touched. Each queue prints through cups-filters'
"Generic PDF Printer" to CUPS's file: device, a PDF file in the folder
(output()), so what a Windows program printed can be read back as text; a raw
queue (add_raw_queue: no driver, no filter) keeps each job's bytes as they
arrived (captured()), through the capture backend (capture_backend) in the
server's own ServerBin, whose other entries are links to the system's.

Run as root (cupsd's filters then run as lp, as on a Debian system).
"""

import grp
import os
import pwd
import shutil
import signal
import subprocess
import tempfile
import time
import urllib.parse

CUPSD = "/usr/sbin/cupsd"
SYSTEM_SERVER_BIN = "/usr/lib/cups"
CAPTURE_BACKEND = os.path.join(os.path.dirname(os.path.abspath(__file__)), "capture_backend")
PDF_PPD = "lsb/usr/cupsfilters/Generic-PDF_Printer-PDF.ppd"  # from cups-filters

CUPSD_CONF = """\
Listen {socket}
Browsing No
WebInterface No
LogLevel warn
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  JobPrivateAccess all
  JobPrivateValues none
  SubscriptionPrivateAccess all
  SubscriptionPrivateValues none
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
"""

CUPS_FILES_CONF = """\
ServerRoot {root}/conf
RequestRoot {root}/spool
TempDir {root}/spool/tmp
StateDir {root}/state
CacheDir {root}/cache
ServerKeychain {root}/ssl
CreateSelfSignedCerts no
Printcap {root}/state/printcap
AccessLog {root}/log/access_log
ErrorLog {root}/log/error_log
PageLog {root}/log/page_log
FileDevice Yes
SystemGroup root
ServerBin {root}/bin
"""


class PrintServerError(Exception):
    pass


class PrintServer:
    """One private cupsd: start, then stop (by its process id), which also
    removes its folder."""

    def __init__(self, output_dir=None):
        self.root = None
        self.process = None
        self.output_dir = output_dir  # where the PDFs go; the server's folder when None
        self.outputs = {}  # queue name: its PDF file
        self.captures = {}  # raw queue name: its capture folder

    # Start and stop

    def start(self, timeout=20):
        self.root = tempfile.mkdtemp(prefix="vorelle-cups-")
        os.chmod(self.root, 0o755)  # the filters (user lp) read the spool below it
        for sub in ("conf", "spool", "state", "cache", "ssl", "log", "out", "capture"):
            os.mkdir(os.path.join(self.root, sub))
        self.make_server_bin()
        # The filters' temporary folder, as Debian makes /var/spool/cups/tmp.
        tmp = os.path.join(self.root, "spool", "tmp")
        os.mkdir(tmp)
        os.chown(tmp, 0, grp.getgrnam("lp").gr_gid)
        os.chmod(tmp, 0o1770)
        if self.output_dir is None:
            self.output_dir = os.path.join(self.root, "out")
        os.makedirs(self.output_dir, exist_ok=True)
        self.socket = os.path.join(self.root, "cups.sock")
        with open(os.path.join(self.root, "conf", "cupsd.conf"), "w") as f:
            f.write(CUPSD_CONF.format(socket=self.socket))
        with open(os.path.join(self.root, "conf", "cups-files.conf"), "w") as f:
            f.write(CUPS_FILES_CONF.format(root=self.root))
        self.process = subprocess.Popen(
            [CUPSD, "-f", "-c", os.path.join(self.root, "conf", "cupsd.conf"),
             "-s", os.path.join(self.root, "conf", "cups-files.conf")],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                raise PrintServerError("cupsd ended with status %d at start: %s" % (
                    self.process.returncode, self.log_tail()))
            if "scheduler is running" in self.lpstat("-r")[1]:
                return
            time.sleep(0.1)
        raise PrintServerError("cupsd did not answer on %s within %d s" % (self.socket, timeout))

    def make_server_bin(self):
        """The server's programs: the system's filters, drivers and the
        rest as links, its backends as links beside the capture backend (a
        copy, owned by root and not writable by others, as cupsd requires;
        mode 755, so that it runs as lp)."""
        server_bin = os.path.join(self.root, "bin")
        os.mkdir(server_bin)
        for entry in os.listdir(SYSTEM_SERVER_BIN):
            if entry != "backend":
                os.symlink(os.path.join(SYSTEM_SERVER_BIN, entry), os.path.join(server_bin, entry))
        backends = os.path.join(server_bin, "backend")
        os.mkdir(backends)
        system_backends = os.path.join(SYSTEM_SERVER_BIN, "backend")
        for entry in os.listdir(system_backends):
            os.symlink(os.path.join(system_backends, entry), os.path.join(backends, entry))
        capture = os.path.join(backends, "capture")
        shutil.copyfile(CAPTURE_BACKEND, capture)
        os.chmod(capture, 0o755)

    def stop(self):
        if self.process is not None and self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(timeout=20)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.process = None
        if self.root:
            shutil.rmtree(self.root, ignore_errors=True)
            self.root = None

    # The environment of a program that is to print here

    def env(self, env):
        env["CUPS_SERVER"] = self.socket
        return env

    # Queues and jobs

    def client(self, program, *args, check=True):
        env = dict(os.environ, LC_ALL="C.UTF-8")  # English messages, UTF-8 names
        done = subprocess.run([program, "-h", self.socket] + list(args), stdin=subprocess.DEVNULL,
                              capture_output=True, timeout=60, env=env)
        out = done.stdout.decode("utf-8", errors="replace")
        err = done.stderr.decode("utf-8", errors="replace")
        if check and done.returncode != 0:
            raise PrintServerError("%s %s: status %d: %s" % (program, " ".join(args),
                                                             done.returncode, err.strip()))
        return done.returncode, out, err

    def lpstat(self, *args):
        return self.client("/usr/bin/lpstat", *args, check=False)

    def add_queue(self, name):
        """A queue printing PDF into output(name)."""
        self.client("/usr/sbin/lpadmin", "-p", name, "-E", "-v", "file://" + self.output(name),
                    "-m", PDF_PPD)

    def add_raw_queue(self, name):
        """A raw queue (no driver: CUPS hands each job to the device as it
        came) whose device keeps every job in a folder of its own
        (captured(name)). The folder starts empty."""
        folder = self.captures.get(name)
        if folder is None:
            folder = os.path.join(self.root, "capture", str(len(self.captures) + 1))
            os.mkdir(folder)
            os.chown(folder, pwd.getpwnam("lp").pw_uid, 0)  # the backend runs as lp
            self.captures[name] = folder
        for entry in os.listdir(folder):
            os.remove(os.path.join(folder, entry))
        self.client("/usr/sbin/lpadmin", "-p", name, "-E", "-v", "capture:" + folder)

    def captured(self, name):
        """The jobs the raw queue `name` received so far, in the order of
        their numbers: (title, bytes) each."""
        folder = self.captures[name]
        jobs = []
        for entry in sorted((e for e in os.listdir(folder) if e.isdigit()), key=int):
            with open(os.path.join(folder, entry), "rb") as f:
                data = f.read()
            with open(os.path.join(folder, entry + ".title"), errors="replace") as f:
                jobs.append((f.read(), data))
        return jobs

    def delete_queue(self, name):
        """Deletes the queue with its jobs (none when there is no such queue)."""
        self.client("/usr/sbin/lpadmin", "-x", name, check=False)

    def set_default(self, name):
        self.client("/usr/sbin/lpadmin", "-d", name)

    def output(self, name):
        # CUPS takes a device URI in ASCII only: the file is named for the
        # queue, its other characters as "_", and numbered.
        if name not in self.outputs:
            plain = "".join(c if c.isascii() and (c.isalnum() or c in "_-") else "_" for c in name)
            self.outputs[name] = os.path.join(self.output_dir,
                                              "%d-%s.pdf" % (len(self.outputs) + 1, plain))
        return self.outputs[name]

    def jobs(self, which):
        """Queue names of the jobs `which` ("completed", "not-completed"
        or "all"), one entry per job: lpstat -W WHICH -o."""
        rc, out, err = self.lpstat("-W", which, "-o")
        if rc != 0:
            raise PrintServerError("lpstat -W %s -o: status %d: %s" % (which, rc, err.strip()))
        # A job is "QUEUE-ID", the queue's name percent-encoded beyond ASCII.
        return [urllib.parse.unquote(line.split()[0].rsplit("-", 1)[0])
                for line in out.splitlines() if line.strip()]

    def cancel_all(self):
        """Forgets every job, completed or not (the next scenario starts
        without any)."""
        self.client("/usr/bin/cancel", "-a", "-x", check=False)

    def log_tail(self, lines=5):
        try:
            with open(os.path.join(self.root, "log", "error_log"), errors="replace") as f:
                return " | ".join(f.read().splitlines()[-lines:])
        except OSError:
            return "no log"


def pdf_title(path):
    """The Title of a PDF file's information (pdfinfo): the printed document's
    name; None when it cannot be read."""
    done = subprocess.run(["/usr/bin/pdfinfo", path], stdin=subprocess.DEVNULL,
                          capture_output=True, timeout=60)
    for line in done.stdout.decode("utf-8", errors="replace").splitlines():
        if line.startswith("Title:"):
            return line[len("Title:"):].strip()
    return None


def pdf_text(path):
    """The text of a PDF file (pdftotext), None when it cannot be read."""
    done = subprocess.run(["/usr/bin/pdftotext", "-q", path, "-"], stdin=subprocess.DEVNULL,
                          capture_output=True, timeout=60)
    return done.stdout.decode("utf-8", errors="replace") if done.returncode == 0 else None
