#!/bin/sh
# Runs a command on a pseudo-terminal of its own (script, from util-linux), so that wine gives the
# Windows program it starts a console, and passes on the command's output and exit status. The
# output goes through a file: on the terminal, wine's console would mix in its control codes.
#   tests/support/on_terminal.sh COMMAND [ARG...]
log=$(mktemp)
script -qefc "$* >$log 2>&1" /dev/null </dev/null >/dev/null
status=$?
cat "$log"
rm -f "$log"
exit $status
