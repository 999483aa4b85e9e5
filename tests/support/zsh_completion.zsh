# SPDX-License-Identifier: MIT
# Runs a zsh completion function outside the line editor: $1 the command
# line (a trailing space starts a new word), $2 the completion file.
# Stand-ins for zsh's completion builtins: each prints the candidates that
# match the word being completed, as zsh's own matching would keep them.
compadd() {
  local suffix=
  while (( $# )); do
    case $1 in
      -S) suffix=$2; shift 2 ;;
      --) shift; break ;;
      -*) shift ;;
      *) break ;;
    esac
  done
  local c
  for c in "$@"; do [[ $c == ${PREFIX}* ]] && print -r -- "$c$suffix"; done
}
_describe() { local c; for c in ${(P)4}; do c=${c%%:*}; [[ $c == ${PREFIX}* ]] && print -r -- $c; done; }
_files() { print -- '<files>'; }
_users() { print -- '<users>'; }
words=(${(z)1})
[[ $1 == *' ' ]] && words+=('')
CURRENT=$#words
PREFIX=${words[CURRENT]}
source $2
# The function's own status is that of its last test, not a failure.
return 0
