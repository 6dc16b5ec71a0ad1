# fish completion for quillfen-cli: its commands and options, the definition
# file for --ini and check, the game names of the definition file in use
# (the one of --ini, or the default), and folders for the game's folder and
# the roots of find.

# --ini and its file, when the command line names one.
function __quillfen_cli_ini
    set -l tokens (commandline -opc)
    set -l i (contains -i -- --ini $tokens)
    and set -q tokens[(math $i + 1)]
    and printf '%s\n' --ini $tokens[(math $i + 1)]
end

function __quillfen_cli_games
    command quillfen-cli (__quillfen_cli_ini) games 2>/dev/null
end

# Which operand of the command the word being completed is: 1 for the first
# after the command's name, 0 while there is no command yet.
function __quillfen_cli_operand
    set -l tokens (commandline -opc)
    set -e tokens[1]
    set -l seen 0
    set -l count 0
    set -l skip 0
    for token in $tokens
        if test $skip = 1
            set skip 0
            continue
        end
        switch $token
            case --ini --top --size --section
                set skip 1
            case '-*'
            case '*'
                if test $seen = 0
                    set seen 1
                else
                    set count (math $count + 1)
                end
        end
    end
    if test $seen = 0
        echo 0
    else
        math $count + 1
    end
end

set -l commands games check locate patch undo find suggest
complete -c quillfen-cli -f
complete -c quillfen-cli -l ini -r -F -d 'The definition file'
complete -c quillfen-cli -s h -l help -d 'Print the usage'
complete -c quillfen-cli -l version -d 'Print the version'
complete -c quillfen-cli -s v -l verbose -d 'find: tell which launcher files were skipped'
complete -c quillfen-cli -n "not __fish_seen_subcommand_from $commands" -a games -d 'List the games of the definition file'
complete -c quillfen-cli -n "not __fish_seen_subcommand_from $commands" -a check -d 'Report the problems of definition files'
complete -c quillfen-cli -n "not __fish_seen_subcommand_from $commands" -a locate -d 'Show where the patches of a game lie'
complete -c quillfen-cli -n "not __fish_seen_subcommand_from $commands" -a patch -d 'Write a width and a height into the game'
complete -c quillfen-cli -n "not __fish_seen_subcommand_from $commands" -a undo -d 'Restore the game from its undo records'
complete -c quillfen-cli -n "not __fish_seen_subcommand_from $commands" -a find -d 'Print the folders that hold the game'
complete -c quillfen-cli -n "not __fish_seen_subcommand_from $commands" -a suggest -d "Propose patches from a game's own files"
complete -c quillfen-cli -n "__fish_seen_subcommand_from check" -F
complete -c quillfen-cli -n "__fish_seen_subcommand_from suggest; and test (__quillfen_cli_operand) -ge 3" -F
complete -c quillfen-cli -n "__fish_seen_subcommand_from suggest" -l top -x -d 'How many candidates to print (10)'
complete -c quillfen-cli -n "__fish_seen_subcommand_from suggest" -l size -x -a "2 4" -d 'Only values of this many bytes'
complete -c quillfen-cli -n "__fish_seen_subcommand_from suggest" -l section -x -d 'Only places in this section'
complete -c quillfen-cli -n "__fish_seen_subcommand_from locate patch undo find; and test (__quillfen_cli_operand) = 1" -a "(__quillfen_cli_games)"
complete -c quillfen-cli -n "__fish_seen_subcommand_from locate patch undo; and test (__quillfen_cli_operand) = 2" -a "(__fish_complete_directories)"
complete -c quillfen-cli -n "__fish_seen_subcommand_from find; and test (__quillfen_cli_operand) -ge 2" -a "(__fish_complete_directories)"
