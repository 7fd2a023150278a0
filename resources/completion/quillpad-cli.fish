# fish completion for quillpad-cli

set -l commands backup restore import export save ics sync add list show done undone edit remove due remind color move

# The ids of the tasks, as list shows them (the start that names each alone), with their texts.
function __quillpad_cli_tids
    quillpad-cli list 2>/dev/null | awk 'NR > 1 && $0 !~ /^   / { id = $1; sub(/^ *[^ ]+ +/, ""); sub(/^.*\[.\] /, ""); print id "\t" $0 }'
end

complete -c quillpad-cli -f
complete -c quillpad-cli -s h -l help -d 'Show the usage'
complete -c quillpad-cli -n "not __fish_seen_subcommand_from $commands" -a backup -d 'Write every memo and task to an interchange file'
complete -c quillpad-cli -n "not __fish_seen_subcommand_from $commands" -a restore -d 'Read a backup back, keeping its ids'
complete -c quillpad-cli -n "not __fish_seen_subcommand_from $commands" -a import -d 'Add the records of an interchange file under new ids'
complete -c quillpad-cli -n "not __fish_seen_subcommand_from $commands" -a export -d 'Write sibling tasks to an interchange file'
complete -c quillpad-cli -n "not __fish_seen_subcommand_from $commands" -a save -d 'Write tasks as text or an HTML page'
complete -c quillpad-cli -n "not __fish_seen_subcommand_from $commands" -a ics -d 'Export or import iCalendar tasks'
complete -c quillpad-cli -n "not __fish_seen_subcommand_from $commands" -a sync -d 'Sync with a CalDAV task collection'
complete -c quillpad-cli -n "not __fish_seen_subcommand_from $commands" -a add -d 'Store a new task'
complete -c quillpad-cli -n "not __fish_seen_subcommand_from $commands" -a list -d 'Print the task list'
complete -c quillpad-cli -n "not __fish_seen_subcommand_from $commands" -a show -d 'Print everything about one task'
complete -c quillpad-cli -n "not __fish_seen_subcommand_from $commands" -a done -d 'Mark tasks complete'
complete -c quillpad-cli -n "not __fish_seen_subcommand_from $commands" -a undone -d 'Mark tasks incomplete'
complete -c quillpad-cli -n "not __fish_seen_subcommand_from $commands" -a edit -d "Replace a task's text"
complete -c quillpad-cli -n "not __fish_seen_subcommand_from $commands" -a remove -d 'Remove tasks with their sub-tasks'
complete -c quillpad-cli -n "not __fish_seen_subcommand_from $commands" -a due -d 'Set or clear a due date'
complete -c quillpad-cli -n "not __fish_seen_subcommand_from $commands" -a remind -d 'Set or clear a reminder'
complete -c quillpad-cli -n "not __fish_seen_subcommand_from $commands" -a color -d "Set a task's colours"
complete -c quillpad-cli -n "not __fish_seen_subcommand_from $commands" -a move -d 'Put a task under another or at the top level'

complete -c quillpad-cli -n "__fish_seen_subcommand_from backup restore import export save" -F
complete -c quillpad-cli -n "__fish_seen_subcommand_from restore" -l answer -x -a 'yes no all abort' -d 'Answer every question'
complete -c quillpad-cli -n "__fish_seen_subcommand_from save" -l all -d 'Every top-level task'
complete -c quillpad-cli -n "__fish_seen_subcommand_from ics; and not __fish_seen_subcommand_from export import" -a 'export import'
complete -c quillpad-cli -n "__fish_seen_subcommand_from ics" -F
complete -c quillpad-cli -n "__fish_seen_subcommand_from sync" -l server -x -d 'The server'
complete -c quillpad-cli -n "__fish_seen_subcommand_from sync" -l user -x -d 'The user name'
complete -c quillpad-cli -n "__fish_seen_subcommand_from sync" -l collection -x -d 'The task collection'
complete -c quillpad-cli -n "__fish_seen_subcommand_from sync" -l trust -x -a none -d "Trust a certificate's SHA-256 fingerprint"
complete -c quillpad-cli -n "__fish_seen_subcommand_from add move" -l parent -x -a '(__quillpad_cli_tids)' -d 'Under this top-level task'
complete -c quillpad-cli -n "__fish_seen_subcommand_from list" -l json -d 'Print JSON'
complete -c quillpad-cli -n "__fish_seen_subcommand_from list" -l incomplete -d 'Only incomplete tasks'
complete -c quillpad-cli -n "__fish_seen_subcommand_from list" -l completed -d 'Only complete tasks'
complete -c quillpad-cli -n "__fish_seen_subcommand_from list" -l overdue -d 'Only overdue tasks'
complete -c quillpad-cli -n "__fish_seen_subcommand_from list" -l due -x -a 'today week' -d 'Due today or this week'
complete -c quillpad-cli -n "__fish_seen_subcommand_from list" -l search -x -d 'The text contains'
complete -c quillpad-cli -n "__fish_seen_subcommand_from list" -l reminders -d 'Only tasks with a reminder'
complete -c quillpad-cli -n "__fish_seen_subcommand_from show done undone remove edit due remind color move export save ics" -a '(__quillpad_cli_tids)'
complete -c quillpad-cli -n "__fish_seen_subcommand_from due remind" -a 'none today tomorrow mon tue wed thu fri sat sun +1d +1w +1h'
complete -c quillpad-cli -n "__fish_seen_subcommand_from color" -l text -x -a 'default black maroon green olive navy purple teal gray silver red lime yellow blue fuchsia aqua white moneygreen skyblue cream mediumgray' -d 'The text colour'
complete -c quillpad-cli -n "__fish_seen_subcommand_from color" -l background -x -a 'default black maroon green olive navy purple teal gray silver red lime yellow blue fuchsia aqua white moneygreen skyblue cream mediumgray' -d 'The background colour'
complete -c quillpad-cli -n "__fish_seen_subcommand_from move" -l top -d 'To the top level'
