"""The Wine end-to-end bench: a test-owned Wine prefix, an update server on
loopback, and the Windows helper programs that run the launcher and report
what it showed and did."""
