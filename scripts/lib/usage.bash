# Sourced by every script once it has set `usage` to its usage text, and used before the script
# does any work: an argument it does not know must stop it before anything is installed, built,
# written or waited for.

# The usage on standard output, status 0.
show_usage() {
  printf '%s\n' "$usage"
  exit 0
}

# Names the argument and prints the usage on standard error, status 64 (EX_USAGE of sysexits.h).
refuse_argument() {
  printf '%s: unknown argument: %s\n%s\n' "${0##*/}" "$1" "$usage" >&2
  exit 64
}

# For a script that takes no argument but --help.
take_no_arguments() {
  if [ $# -eq 0 ]; then
    return 0
  fi
  if [ "$1" = --help ]; then
    show_usage
  fi
  refuse_argument "$1"
}
