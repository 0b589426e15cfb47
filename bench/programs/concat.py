total = 0
i = 0
while i < 1000000:
    text = "item " + str(i)
    total += len(text)
    i += 1
assert total == 10888890
