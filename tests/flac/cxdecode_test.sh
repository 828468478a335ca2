#!/bin/sh
echo todo
