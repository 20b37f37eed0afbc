# bash completion for cvsim, the control program of a simulated cvlan machine.

_cvsim() {
  local cur prev words cword
  if declare -F _init_completion >/dev/null; then
    _init_completion || return
  else
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD - 1]}
    words=("${COMP_WORDS[@]}")
    cword=$COMP_CWORD
  fi

  local commands="init peek poke set acl fail fail-dos-removal freeze thaw advance log check"

  # The command is the first word after the program's own options.
  local i=1 command=""
  while ((i < cword)); do
    case ${words[i]} in
      --root) ((i += 2)) ;;
      *) command=${words[i]}; break ;;
    esac
  done

  if [[ $prev == --root ]]; then
    COMPREPLY=($(compgen -d -- "$cur"))
    return
  fi
  if [[ -z $command ]]; then
    COMPREPLY=($(compgen -W "$commands --root --help --version" -- "$cur"))
    return
  fi

  local arg=$((cword - i - 1))  # the place of the word after the command
  case $command in
    init)
      case $prev in
        --instance) COMPREPLY=($(compgen -W "cvlan1 cvlan2 cvlan3 cvlan4" -- "$cur")) ;;
        --driver-version) COMPREPLY=($(compgen -W "1.03 1.04 2.10" -- "$cur")) ;;
        *) COMPREPLY=($(compgen -W "--station --cellap --instance --no-instance --no-device --driver-version --frozen" -- "$cur")) ;;
      esac
      ;;
    set)
      if ((arg == 0)); then
        COMPREPLY=($(compgen -W "irq io membase access-mode netid address ap-address firmware-version firmware-date driver-version mode" -- "$cur"))
      elif ((arg == 1)) && [[ $prev == mode ]]; then
        COMPREPLY=($(compgen -W "station cellap" -- "$cur"))
      fi
      ;;
    acl) ((arg == 0)) && COMPREPLY=($(compgen -W "add clear" -- "$cur")) ;;
    fail) ((arg == 0)) && COMPREPLY=($(compgen -W "--clear" -- "$cur")) ;;
    fail-dos-removal) ((arg == 0)) && COMPREPLY=($(compgen -W "on off" -- "$cur")) ;;
    log) ((arg == 0)) && COMPREPLY=($(compgen -W "--clear" -- "$cur")) ;;
  esac
}

complete -F _cvsim cvsim
