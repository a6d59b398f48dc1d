"""Simulator of the host side (FTP server with RCMD and the host programs) and a mail sink."""
