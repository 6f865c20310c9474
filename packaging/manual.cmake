# Writes the HTML manual that the window's Help opens: the README, as a guide, followed by the
# manual page, in one page. Run by the build as
#   cmake -DCMARK=... -DGROFF=... -DREADME=... -DMAN_PAGE=... -DVERSION=... -DOUTPUT=...
#         -P manual.cmake
# cmark turns the README's Markdown into HTML, groff's HTML device the manual page.
foreach(var CMARK GROFF README MAN_PAGE VERSION OUTPUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "manual.cmake: ${var} is not set")
  endif()
endforeach()

execute_process(COMMAND ${CMARK} --to html ${README}
                OUTPUT_VARIABLE guide RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmark failed on ${README}")
endif()

# -l: no table of contents of its own, -r: no rules above and below the page.
execute_process(COMMAND ${GROFF} -man -Thtml -P-l -P-r ${MAN_PAGE}
                OUTPUT_VARIABLE page RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "groff failed on ${MAN_PAGE}")
endif()
# Only the page's body goes in, without its title (the manual gives one of its own).
string(FIND "${page}" "<body>" start)
string(FIND "${page}" "</body>" end)
if(start EQUAL -1 OR end EQUAL -1)
  message(FATAL_ERROR "groff wrote no HTML body for ${MAN_PAGE}")
endif()
math(EXPR start "${start} + 6")
math(EXPR length "${end} - ${start}")
string(SUBSTRING "${page}" ${start} ${length} page)
string(REGEX REPLACE "<h1[^>]*>[^<]*</h1>" "" page "${page}")

file(WRITE ${OUTPUT} "<!DOCTYPE html>
<html lang=\"en\">
<head>
<meta charset=\"utf-8\">
<title>Tarnwell ${VERSION} manual</title>
<style>
body { font-family: sans-serif; max-width: 52em; margin: 1em auto; padding: 0 1em;
       line-height: 1.4 }
pre { background: #f4f4f4; padding: 0.5em; overflow-x: auto }
code { background: #f4f4f4 }
table { border-collapse: collapse }
th, td { border: 1px solid #ccc; padding: 0.2em 0.5em; text-align: left }
nav { border-bottom: 1px solid #ccc; padding-bottom: 0.5em }
</style>
</head>
<body>
<nav>Tarnwell ${VERSION}: <a href=\"#guide\">Guide</a> &middot;
<a href=\"#manual-page\">Manual page</a></nav>
<section id=\"guide\">
${guide}</section>
<section id=\"manual-page\">
<h1>Manual page: tarnwell(1)</h1>
${page}</section>
</body>
</html>
")
