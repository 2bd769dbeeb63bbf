# Copies one of the page's scripts into the site without its whole-line comments, which are for
# whoever reads the source and cost the player a fifth of the scripts' download. A comment at the
# end of a line of code stays. The page's scripts have no string or template literal that runs over
# a line break, so no line inside one can be taken for a comment.
#   cmake -DSOURCE=<script> -DOUTPUT=<copy in the site> -P copy_script.cmake
file(READ ${SOURCE} script)
string(REGEX REPLACE "(^|\n)[ \t]*//[^\n]*" "" script "${script}")
file(WRITE ${OUTPUT} "${script}")
