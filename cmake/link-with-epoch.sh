#!/bin/sh
# Link launcher: runs the link command with SOURCE_DATE_EPOCH taken from the file that
# cmake/source_date_epoch.cmake wrote; GNU ld then puts that time, not the current one, into the PE header
# and computes the CheckSum over it.
#   link-with-epoch.sh EPOCH_FILE COMMAND...
SOURCE_DATE_EPOCH=$(cat "$1") || exit 1
export SOURCE_DATE_EPOCH
shift
exec "$@"
