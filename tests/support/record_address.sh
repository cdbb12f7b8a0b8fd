#!/bin/sh
# A stand-in browser for the tests: appends the address it is given, one a line, to the file named by
# PAPYRANT_ADDRESS_LOG. As BROWSER, xdg-open runs it where no desktop environment is detected.
printf '%s\n' "$1" >>"${PAPYRANT_ADDRESS_LOG:?}"
