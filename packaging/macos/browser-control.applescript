-- Controls Safari for BrindleX: osascript browser-control.scpt Check|Start|Quit
on run argv
	set command to item 1 of argv
	if command is "Check" then
		if application "Safari" is running then
			return "true"
		else
			return "false"
		end if
	else if command is "Start" then
		tell application "Safari" to launch
		return ""
	else if command is "Quit" then
		if application "Safari" is running then tell application "Safari" to quit
		return ""
	end if
	return ""
end run
