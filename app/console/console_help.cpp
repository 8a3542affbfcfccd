#include "app/console/console_help.h"

namespace tessora {

std::string ConsoleUsage() {
  return R"(Usage: tessora [OPTION...] [-s] [IMAGE]

Writes a firmware image into the boot EEPROM of a Qorvane USB controller and verifies
every page; reads the EEPROM out, clears it, or reboots the chip.

  IMAGE                  update the EEPROM from IMAGE ("-": standard input, as for --verify);
                         exit status 0 when the image was written and verified. A run on
                         one board ends with a line naming it: SERIAL (port PORT): succeeded
  -s IMAGE               the same in silent mode: no progress bar, no message boxes (their
                         texts go to the debug output) and "Exit code: N" on standard error ends it
                         (1 written, -1 no device, -2 no EEPROM, -3 unreadable image,
                         -4 too large for 1-byte subaddressing, -5 programming failed)
  --update-changed       with IMAGE: read every page first and write only those that differ
                         (the header page is still erased first and written last); a board
                         that already holds the image is only read, and the run says
                         "Nothing written"
  --verify IMAGE         compare the EEPROM with IMAGE without writing; exit status 0 when
                         equal, else 5 with the first differing address, the bytes expected
                         and found, and the number of differing bytes
  --read-out FILE        read the EEPROM out into FILE; "-" is standard output (Linux)
  --format text|ihex|bin image format of the file read or written: the text image format
                         ("hex" also names it), Intel HEX (records 00 to 05) or raw
                         binary. Read, when not given: binary for a name ending in .bin,
                         else Intel HEX when ":" comes first, else text; a text or Intel
                         HEX file with a control byte or in UTF-16 is refused. Written,
                         when not given: raw binary for a name ending in .bin, Intel HEX
                         for .ihex or .ihx, else text. Every run names the format it uses
  --clear                clear the EEPROM to 0xFF
  --reboot rom|eeprom    restart the chip from its ROM or from the EEPROM, and say which;
                         exit status 0 when the controller took the request
  --interface hid|filterdriver|winusb
  --address HEX          EEPROM bus address: 7 bits in hex, as 51 or 0x51
  --subaddressing 1|2    subaddress bytes the EEPROM takes
  --read-size auto|N     read-out size from the EEPROM header, or N bytes (1 to 16384)
                         These four apply to this run only, over the stored settings
  --save                 store the four above for later runs and the window program, alone
                         or with a command
  --device SELECTOR      talk to this device only: a path as --list prints it, a serial
                         number, or usb:BUS-PORT (Linux, as in 1-1.4); without it or
                         --all a command takes the one controller there is: several are
                         refused (exit status 2) with the --device that names each
  --all                  run the update, --read-out, --verify, --clear or --reboot on
                         every controller, all at once; one line per board (SERIAL (port
                         PORT): succeeded|FAILED (the last message)) and a summary;
                         a controller that does not answer has failed (HID devices that are
                         no candidate are left out); exit status 0 when every board
                         succeeded, the boards' own when they failed alike, else 1. A
                         read-out goes to one file per board: FILE-SERIAL.EXT
  --station IMAGE        wait for controllers and update each from IMAGE as it is plugged
                         in (those present at the start too), each as one board of --all,
                         with --update-changed if given; a board is updated once until it
                         is unplugged and plugged in again, and one unplugged while it
                         runs has failed. A line per board as it ends; on a terminal a
                         live line per board and the count passed, failed, boards per
                         hour. The first SIGINT or SIGTERM takes no new board, lets the
                         running ones finish and prints the summary (exit status 0 when
                         every board passed, else 1); a second one stops them at their
                         next safe point (exit status 130 or 143)
  --list                 list the device interfaces the three interfaces see: a header line,
                         then one line each: interface, path, VID:PID, product, serial,
                         instance ID, whether it opens; HID controllers (feature report
                         0xFF) are marked "candidate". None found is said on standard error,
                         exit status 3. With --json one array of objects: interface, path,
                         vendor_id, product_id, product, serial, instance_id, port, access,
                         candidate
  --udev-rule            print a udev rule that lets the logged-in user reach the controllers
                         found: tessora --udev-rule | sudo tee /etc/udev/rules.d/70-tessora.rules
  --json                 one JSON object per board on a line of standard output, and nothing
                         else there (the program's lines go to standard error), also for a
                         usage error, no device and an --all that found no board: command,
                         device, serial, port, interface, outcome_code (1 success, -1 to
                         -5 as the exit codes above, -6 verify found differences, -7
                         stopped by a signal; null when the command line was refused),
                         outcome_text, format, image, image_sha256, bytes, pages,
                         pages_skipped (--update-changed), page_size, seconds,
                         exit_status, tool_version (as --version, without the name),
                         first_mismatch. Texts not known are null
  --log FILE             append to FILE one line per board and run, failed and stopped runs
                         included: the JSON object above led by "time" (UTC, ISO 8601)
                         and "host". Each line is one write to a file opened for appending,
                         so several programs may log to one file at once; a log that
                         cannot be opened is a usage error
  --debug                the debug lines (mode line, silent-mode texts, "Exit code: N") on
                         standard error; they repeat the program's own lines
  -q, --quiet            errors only, on standard error; no progress bar

Each message is written once, wherever the two streams end: the program's lines on
standard output, an error on standard error alone (so "tessora IMAGE >log" still shows
it; in silent mode, which shows no message boxes, errors are lines of standard output
too), and -s's "Exit code: N" on standard error.
  --version              the version and the commit it was built from, as in
                         Tessora 1.2.1 (commit 1a2b3c4)
  --help

Options come first; the rest of the command line is taken as Tessora's own, "-s" and
the image file name, joined with single blanks. A value an option does not take, an
unknown option, or an option after the image file is a usage error (exit status 2);
"--" ends the options, for an image file whose name begins with "-".
The checks come in this order: the command line, then the image file an update or
--verify reads (a missing or unreadable one is outcome -3 even with no board present),
then the device. -s alone with --read-out, --clear or
--reboot makes them silent.

SIGINT or SIGTERM stops an update or clear at the next page, with the header page erased
(or the image complete and verified), and a read-out between blocks with the file as it
was; the run says which, writes its JSON and summary, and exits with 130 or 143.

Exit status:
  0    success
  1    the procedure failed (no EEPROM answers, programming or reading failed)
  2    usage: an option, value or file name the program does not take, or several
       controllers and neither --device nor --all
  3    no device: none answers on the interface, --device names none, or another
       Tessora is using it
  4    the image file cannot be read (or, for --read-out, written)
  5    --verify found differences
  130  SIGINT stopped the run; 143 SIGTERM

Settings are kept in $XDG_CONFIG_HOME/Velmora/tessora (~/.config when unset).
On Linux, programs that use one device take turns through locks that any user may take
and that leave no file behind; TESSORA_LOCK_NAMESPACE=NAME gives a set of programs locks
of their own (programs share a lock only where they share the name).

Devices: HID controllers through /dev/hidraw*, WinUSB controllers (those whose Microsoft
OS 2.0 descriptors declare the WinUSB interface) through libusb; the FilterDriver exists
only on Windows. Without --interface, while the stored interface is the FilterDriver (the
default), the Linux program takes HID when it finds a controller there, else WinUSB;
--interface filterdriver is refused with a hint.

Simulated board: with TESSORA_SIM set to a directory, the program talks to a simulated
board kept there instead of real devices; several directories separated by ':' make a
bench of boards, each with the serial number and USB port its directory gives it. Each
directory:
  eeprom.bin   the EEPROM's bytes; created as 16384 bytes of 0xFF when missing; 256
               bytes make a part with 1-byte subaddressing; read and written as the
               board serves each request, so programs sharing the directory share
               the board
  board.conf   optional "key = value" lines, # comments; unknown keys are errors:
                 interfaces = hid filterdriver winusb | none   (all three)
                 eeprom_address = 0x51        write_limit = 64
                 fail_after = N|never         corrupt_readback = ADDRESS|none
                 feature_report_length, input_report_length, output_report_length = 128
                 busy_polls = 2|stuck         crc_errors = N    short_bus_data = N
                 open_fails = yes|no          winusb_init_fails = yes|no
                 refuse_read_length = N (bus reads of exactly N bytes fail)
                 done_status = 0x80|0xff      status_read_fails = N
                 page_size = 64 (EEPROM write page, a power of two up to 256)
                 serial = TEXT|none (the serial number, up to 126 characters)
                 port = BUS-PORT (where it is plugged in, as 1-1.4)
                 latency_us = 250   write_cycle_us = 5000   bus_khz = 400
                   (setting any of these three makes the board answer in real time,
                   the ones not set at these defaults; without them it answers at once)
                 cpu_log = yes|no (append the board's CPU time to cpu.log at the end)
  trace.log    one line appended for every request the board serves
  unplugged    while a file of this name is there the board is not plugged in;
               creating or removing it unplugs or plugs the board (--station sees it)
  cpu.log      with cpu_log = yes, one line appended per run: the microseconds of CPU
               time the board's requests took in the program
)";
}

}  // namespace tessora
