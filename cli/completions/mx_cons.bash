# bash completion for mx_cons: its options, the output formats after the number of frames, and
# the files it takes (videos by the masks of "Add Folder", job lists, folders).
_mx_cons() {
    local cur prev words cword split
    _init_completion -s || return

    case $prev in
        -o | --output)
            _filedir -d
            return
            ;;
        --save-list)
            _filedir mxl
            return
            ;;
        --settings)
            # Its file only ever follows "=".
            if [[ $split == true ]]; then
                _filedir ini
                return
            fi
            ;;
        -w | --width | -h | --height | -q | --quality | --every | --start)
            return
            ;;
    esac
    $split && return

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '-o --output -w --width -h --height -q --quality --sheet
            --random --every --start --stamp-time --stamp-name --seconds --no-number --beside
            --settings --save-list --quiet --good-frames --help --version' -- "$cur"))
        return
    fi
    # After the number of frames comes the format (a number that is an option's value is not it).
    if [[ $prev =~ ^[0-9]+$ && ${words[cword - 2]} != @(-o|-w|-h|-q|--*) ]]; then
        COMPREPLY=($(compgen -W 'bmp jpg png webp' -- "$cur"))
        return
    fi
    _filedir 'avi|mov|wmv|mpg|vob|mpeg|mp4|mxl'
} &&
    complete -F _mx_cons mx_cons
