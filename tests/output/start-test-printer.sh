#!/usr/bin/env bash
# Makes a PDF printer the default printer of this machine, for the printing tests: starts the CUPS
# scheduler when it is not running, adds the cups-pdf queue "ZantrelPDF" when it is missing, and
# makes it the default; also adds "ZantrelRejects", a queue that refuses every job. Safe to run any number of times, also from tests running side by side.
# Prints the folder where cups-pdf writes the PDF files of the calling user's jobs.
# Exit status: 0 when the printer is ready, 1 when the scheduler cannot be started here.
set -euo pipefail

queue=ZantrelPDF
exec 9>/tmp/zantrel-test-printer.lock
flock 9

for tool in cupsd lpadmin lpoptions lpstat; do
    if ! command -v "$tool" >/dev/null 2>&1 && [ ! -x "/usr/sbin/$tool" ]; then
        echo "start-test-printer: $tool is not installed" >&2
        exit 1
    fi
done
export PATH="$PATH:/usr/sbin"

if ! lpstat -r 2>/dev/null | grep -q "is running"; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "start-test-printer: the CUPS scheduler is not running and only root can start it" >&2
        exit 1
    fi
    mkdir -p /run/cups /var/spool/cups /var/cache/cups
    cupsd >/dev/null 2>&1 || true
    for _ in $(seq 1 50); do
        lpstat -r 2>/dev/null | grep -q "is running" && break
        sleep 0.2
    done
    if ! lpstat -r 2>/dev/null | grep -q "is running"; then
        echo "start-test-printer: cupsd did not start" >&2
        exit 1
    fi
fi

ppd=$(ls /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd /usr/share/ppd/cups-pdf/*.ppd 2>/dev/null | head -n 1 || true)
if [ -z "$ppd" ] || [ ! -e /usr/lib/cups/backend/cups-pdf ]; then
    echo "start-test-printer: printer-driver-cups-pdf is not installed" >&2
    exit 1
fi
if ! lpstat -p "$queue" >/dev/null 2>&1; then
    lpadmin -p "$queue" -E -v cups-pdf:/ -P "$ppd" 2>/dev/null
fi
# Poppler's cairo renderer turns the PDF into PostScript keeping the text extractable, so the
# PDF cups-pdf writes back can be read with pdftotext.
lpadmin -p "$queue" -o pdftops-renderer-default=pdftocairo
# A second queue that refuses every job, for the tests of a refused print job.
if ! lpstat -p ZantrelRejects >/dev/null 2>&1; then
    lpadmin -p ZantrelRejects -E -v cups-pdf:/ -P "$ppd" 2>/dev/null
fi
cupsreject -r "refused by the test printer set-up" ZantrelRejects
# A queue left rejecting or stopped by an earlier run is made usable again.
cupsaccept "$queue"
cupsenable "$queue"
lpadmin -d "$queue"
lpoptions -d "$queue" >/dev/null

# Where cups-pdf puts a user's files: its Out setting with ${HOME} expanded (root's jobs included).
out=$(sed -n 's/^[[:space:]]*Out[[:space:]]\+//p' /etc/cups/cups-pdf.conf 2>/dev/null | tail -n 1)
out=${out:-'${HOME}/PDF'}
home=$(getent passwd "$(id -un)" | cut -d: -f6)
echo "${out//\$\{HOME\}/$home}"
