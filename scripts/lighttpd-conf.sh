#!/bin/sh
# lighttpd-conf.sh SITE PORT: prints a lighttpd configuration that serves the three CGI
# programs of SITE/cgi-bin on 127.0.0.1:PORT and nothing else (the pages, the catalogue and
# the images beside them are read by the programs, never served as files). The programs find
# their data directory through SITE/machine.reg.
set -eu
site=$1 port=$2
cat <<CONF
server.modules = ( "mod_redirect", "mod_access", "mod_alias", "mod_cgi", "mod_setenv" )
server.bind = "127.0.0.1"
server.port = $port
server.document-root = "$site/cgi-bin"
server.errorlog = "$site/lighttpd-error.log"
server.upload-dirs = ( "$site/tmp" )
# The programs take request bodies of at most 8 MiB; anything larger is refused here (413)
# before it is read, instead of being spooled to disk for a program that will refuse it.
server.max-request-size = 8192
url.redirect = ( "^/$" => "/cgi-bin/quarnbxadmin" )
alias.url = ( "/cgi-bin/" => "$site/cgi-bin/" )
\$HTTP["url"] =~ "^/cgi-bin/quarnbx(admin|pic)?\$" {
    cgi.assign = ( "" => "" )
} else {
    url.access-deny = ( "" )
}
setenv.set-environment = ( "QUAR_MACHINE_REGISTRY" => "$site/machine.reg", "TMP" => "$site/tmp" )
CONF
